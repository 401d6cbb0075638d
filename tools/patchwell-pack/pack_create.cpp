#include "patchwell-pack/pack_create.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "packages/package_stream.h"
#include "packages/package_format.h"
#include "packages/writer/package_writer.h"
#include "platform/posix/codepage.h"

namespace fs = std::filesystem;

namespace pack {
namespace {

constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint16_t>::max();
constexpr std::uint64_t kMaxStream = std::numeric_limits<std::uint32_t>::max();
// The installer keeps a package's length in a signed 32-bit field.
constexpr std::uint64_t kMaxFile = std::numeric_limits<std::int32_t>::max();

// One folder or file found on the host, before its bytes are read.
struct Node {
    bool folder = false;
    std::string name;  // code page 1252
    fs::path hostPath;
    std::uint64_t size = 0;
    std::vector<Node> children;
};

class TreeScanner {
public:
    PackSummary& summary;
    std::string error;

    explicit TreeScanner(PackSummary& summary) : summary(summary) {}

    bool ScanFolder(const fs::path& folder, std::vector<Node>& into, unsigned depth) {
        std::vector<fs::directory_entry> entries;
        std::error_code code;
        for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
            entries.push_back(*it);
        if (code) return Fail("cannot read the folder " + folder.string() + ": " + code.message());
        if (entries.size() > kMaxCount)
            return Fail(folder.string() + " holds " + std::to_string(entries.size()) +
                        " entries; a folder of a package holds at most 65535");
        // Sorted, so that the same trees always make the same package.
        std::sort(entries.begin(), entries.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
        for (const fs::directory_entry& entry : entries) {
            Node node;
            if (!ScanEntry(entry.path(), node, depth)) return false;
            into.push_back(std::move(node));
        }
        return true;
    }

private:
    bool Fail(const std::string& reason) {
        error = reason;
        return false;
    }

    bool CheckName(const fs::path& path, std::string& ansi) {
        std::string name = path.filename().string();
        if (!AnsiName(name, ansi)) return Fail("the name of " + path.string() + " has characters outside code page 1252");
        if (ansi.size() > pkgformat::kMaxTextLength)
            return Fail("the name of " + path.string() + " is longer than 1023 bytes");
        // A backslash would be taken for a separator on Windows, and the
        // others cannot stand in a Windows name at all.
        bool windowsName = ansi.find_first_of("\\/:*?\"<>|") == std::string::npos &&
                           std::none_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        std::string fault = EntryNameFault(ansi);
        if (!windowsName || !fault.empty())
            return Fail("the name of " + path.string() + " cannot be a Windows file name" +
                        (fault.empty() ? std::string() : " (" + fault + ")"));
        return true;
    }

    bool ScanEntry(const fs::path& path, Node& node, unsigned depth) {
        if (depth > pkgformat::kMaxEntryDepth)
            return Fail(path.string() + " lies deeper than 256 folders (a folder link that loops?)");
        if (!CheckName(path, node.name)) return false;
        node.hostPath = path;
        std::error_code code;
        fs::file_status status = fs::status(path, code);  // links are followed
        if (code) return Fail("cannot read " + path.string() + ": " + code.message());
        if (fs::is_directory(status)) {
            node.folder = true;
            ++summary.folders;
            return ScanFolder(path, node.children, depth + 1);
        }
        if (!fs::is_regular_file(status)) return Fail(path.string() + " is neither a file nor a folder");
        node.size = fs::file_size(path, code);
        if (code) return Fail("cannot read " + path.string() + ": " + code.message());
        if (node.size > std::numeric_limits<std::uint32_t>::max())
            return Fail(path.string() + " holds " + std::to_string(node.size) +
                        " bytes; a file of a package holds at most 4294967295");
        ++summary.files;
        summary.contentBytes += node.size;
        return true;
    }
};

// The stream's size, counted before any byte is read.
std::uint64_t StreamSizeOf(const Node& node) {
    std::uint64_t size = 1 + 2 + node.name.size() + 2;
    if (!node.folder) size += 2 + 4 + node.size;
    for (const Node& child : node.children) size += StreamSizeOf(child);
    return size;
}

class StreamEmitter {
public:
    std::string error;
    pkgwriter::ByteWriter out;

    StreamEmitter(const ProgressFn& progress, std::uint64_t total) : progress(progress), total(total) {}

    bool Emit(const Node& node) {
        out.U8(node.folder ? pkgformat::kKindFolder : pkgformat::kKindFile).Text(node.name);
        if (!node.folder) {
            out.Text("");
            out.U32(static_cast<std::uint32_t>(node.size));
            if (!AppendContent(node)) return false;
        }
        out.U16(static_cast<std::uint16_t>(node.children.size()));
        for (const Node& child : node.children) {
            if (!Emit(child)) return false;
        }
        return true;
    }

private:
    bool AppendContent(const Node& node) {
        std::ifstream in(node.hostPath, std::ios::binary);
        std::string& data = out.Data();
        std::size_t start = data.size();
        data.resize(start + node.size);
        std::uint64_t got = 0;
        while (in && got < node.size) {
            std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(node.size - got, 1u << 20));
            in.read(data.data() + start + got, static_cast<std::streamsize>(piece));
            got += static_cast<std::uint64_t>(in.gcount());
            if (progress) progress(data.size() - node.size + got, total);
        }
        if (got != node.size) {
            error = "cannot read " + node.hostPath.string() + " (it changed while it was packed?)";
            return false;
        }
        return true;
    }

    const ProgressFn& progress;
    std::uint64_t total;
};

bool Fail(std::string& error, const std::string& reason) {
    error = reason;
    return false;
}

}  // namespace

bool ParseRootSpec(const std::string& text, RootSpec& root, std::string& error) {
    std::size_t eq = text.find('=');
    if (eq != 1 || text[0] < '0' || text[0] > '5' || text.size() == 2)
        return Fail(error, "--root takes INDEX=DIR with INDEX 0 to 5, not \"" + text + "\"");
    root.index = static_cast<unsigned>(text[0] - '0');
    root.folder = text.substr(2);
    return true;
}

bool AnsiName(const std::string& utf8, std::string& ansi) {
    ansi = plat::posix::AnsiFromUtf8(utf8);
    return plat::posix::Utf8FromAnsi(ansi) == utf8;
}

bool CreatePackage(const std::string& outPath, const CreateOptions& options, PackSummary& summary,
                   std::string& error, const ProgressFn& progress) {
    summary = PackSummary{};
    if (options.roots.empty()) return Fail(error, "no --root given");
    if (options.roots.size() > kMaxCount) return Fail(error, "a package holds at most 65535 root groups");
    if (options.chunkSize == 0 || options.chunkSize > kMaxFile)
        return Fail(error, "--chunk-size must lie between 1 and 2147483647 bytes");
    std::string header;
    if (!AnsiName(options.headerText, header)) return Fail(error, "the header text has characters outside code page 1252");
    if (header.size() > pkgformat::kMaxTextLength) return Fail(error, "the header text is longer than 1023 bytes");

    TreeScanner scanner(summary);
    std::vector<std::vector<Node>> groups(options.roots.size());
    std::uint64_t streamSize = 2;
    for (std::size_t g = 0; g < options.roots.size(); ++g) {
        const RootSpec& root = options.roots[g];
        if (root.index >= pkgformat::kRootFolderCount) return Fail(error, "root folder index above 5");
        std::error_code code;
        if (!fs::is_directory(root.folder, code)) return Fail(error, "not a folder: " + root.folder);
        if (!scanner.ScanFolder(root.folder, groups[g], /*depth*/ 1)) return Fail(error, scanner.error);
        streamSize += 4;
        for (const Node& node : groups[g]) streamSize += StreamSizeOf(node);
    }
    if (streamSize > kMaxStream)
        return Fail(error, "the trees unpack to " + std::to_string(streamSize) +
                               " bytes; a package unpacks to at most 4294967295");
    std::uint64_t chunks = (streamSize + options.chunkSize - 1) / options.chunkSize;
    if (chunks > kMaxCount)
        return Fail(error, "the trees unpack to " + std::to_string(streamSize) + " bytes, which takes " +
                               std::to_string(chunks) + " chunks of " + std::to_string(options.chunkSize) +
                               " bytes; a package holds at most 65535 chunks: give --chunk-size " +
                               std::to_string((streamSize + kMaxCount - 1) / kMaxCount) + " or more");

    // Reading the files is the first half of the work, compressing the second.
    std::uint64_t work = streamSize * 2;
    StreamEmitter emitter(progress, work);
    emitter.out.Data().reserve(static_cast<std::size_t>(streamSize));
    emitter.out.U16(static_cast<std::uint16_t>(options.roots.size()));
    for (std::size_t g = 0; g < options.roots.size(); ++g) {
        emitter.out.U16(static_cast<std::uint16_t>(options.roots[g].index)).U16(static_cast<std::uint16_t>(groups[g].size()));
        for (const Node& node : groups[g]) {
            if (!emitter.Emit(node)) return Fail(error, emitter.error);
        }
    }
    const std::string& stream = emitter.out.Data();
    summary.streamBytes = stream.size();

    pkgwriter::ChunkedPackageWriter writer(options.level, 0, header);
    for (std::size_t at = 0; at < stream.size(); at += options.chunkSize) {
        std::size_t length = std::min(options.chunkSize, stream.size() - at);
        writer.AddChunk(reinterpret_cast<const std::uint8_t*>(stream.data()) + at, length);
        ++summary.chunks;
        if (progress) progress(stream.size() + at + length, work);
    }
    std::string file = writer.Finish();
    if (file.size() > kMaxFile)
        return Fail(error, "the package would be " + std::to_string(file.size()) +
                               " bytes; the installer reads packages of at most 2147483647 bytes");
    summary.fileBytes = file.size();

    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::error_code ignored;
        fs::remove(outPath, ignored);
        return Fail(error, "cannot write " + outPath);
    }
    return true;
}

}  // namespace pack
