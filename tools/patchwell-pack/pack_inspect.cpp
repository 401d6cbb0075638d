#include "patchwell-pack/pack_inspect.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/installer_state.h"
#include "packages/package_check.h"
#include "packages/package_format.h"
#include "packages/package_reader.h"
#include "platform/posix/codepage.h"

using pkgformat::GetU16;
using pkgformat::GetU32;

namespace pack {
namespace {

const char* const kRootNames[pkgformat::kRootFolderCount] = {
    "installation folder", "user data folder",   "Start menu folder",
    "application data folder", "editor tool folder", "user editor tool folder"};

std::string ZlibFault(int code) {
    switch (code) {
        case Z_DATA_ERROR: return "is not a sound zlib stream (zlib error -3)";
        case Z_BUF_ERROR: return "unpacks to more than its stated size (zlib error -5)";
        case Z_MEM_ERROR: return "could not be unpacked: out of memory (zlib error -4)";
        default: return "could not be unpacked (zlib error " + std::to_string(code) + ")";
    }
}

// The installer state's six root folders, set for the length of a check and
// put back after it.
class RootFoldersForCheck {
public:
    RootFoldersForCheck() {
        for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) {
            std::string& folder = Folder(i);
            saved[i] = folder;
            folder = "C:\\root" + std::to_string(i);
        }
    }
    ~RootFoldersForCheck() {
        for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) Folder(i) = saved[i];
    }
    RootFoldersForCheck(const RootFoldersForCheck&) = delete;
    RootFoldersForCheck& operator=(const RootFoldersForCheck&) = delete;

private:
    static std::string& Folder(unsigned index) { return const_cast<std::string&>(*RootFolderOf(theApp, index)); }
    std::string saved[pkgformat::kRootFolderCount];
};

// Walks a checked stream and prints each entry.
class TreePrinter {
public:
    TreePrinter(const std::string& stream, std::FILE* out)
        : bytes(reinterpret_cast<const std::uint8_t*>(stream.data())), out(out) {}

    void Run() {
        unsigned groups = U16();
        for (unsigned g = 0; g < groups; ++g) {
            unsigned index = U16();
            unsigned entries = U16();
            std::size_t start = cursor;
            std::uint64_t size = 0;
            for (unsigned e = 0; e < entries; ++e) size += Skip();
            cursor = start;
            std::fprintf(out, "root %u (%s): %u %s, %llu bytes\n", index, kRootNames[index], entries,
                         entries == 1 ? "entry" : "entries", static_cast<unsigned long long>(size));
            for (unsigned e = 0; e < entries; ++e) Print(1);
        }
    }

private:
    unsigned U16() {
        unsigned value = GetU16(bytes + cursor);
        cursor += 2;
        return value;
    }
    std::string Text() {
        unsigned n = U16();
        const char* start = reinterpret_cast<const char*>(bytes + cursor);
        cursor += n;
        const void* zero = std::memchr(start, 0, n);
        return std::string(start, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - start) : n);
    }
    // Moves past one entry and its subtree; returns the bytes of its files.
    std::uint64_t Skip() {
        bool folder = bytes[cursor++] != pkgformat::kKindFile;
        Text();
        std::uint64_t size = 0;
        if (!folder) {
            Text();
            size = GetU32(bytes + cursor);
            cursor += 4 + size;
        }
        unsigned children = U16();
        for (unsigned k = 0; k < children; ++k) size += Skip();
        return size;
    }
    void Print(unsigned depth) {
        std::size_t start = cursor;
        std::uint64_t size = Skip();
        cursor = start;
        bool folder = bytes[cursor++] != pkgformat::kKindFile;
        std::string name = plat::posix::Utf8FromAnsi(Text());
        if (!folder) {
            Text();
            cursor += 4 + GetU32(bytes + cursor);
        }
        unsigned children = U16();
        std::fprintf(out, "%*s%s%s  %llu\n", static_cast<int>(depth * 2), "", name.c_str(), folder ? "\\" : "",
                     static_cast<unsigned long long>(size));
        for (unsigned k = 0; k < children; ++k) Print(depth + 1);
    }

    const std::uint8_t* bytes;
    std::FILE* out;
    std::size_t cursor = 0;
};

}  // namespace

std::string InspectPackage(const std::string& path, Inspection& inspection) {
    inspection = Inspection{};
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open " + path;
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot read " + path;
    inspection.fileBytes = file.size();
    if (file.empty()) return "the file is empty (the installer skips it: \"Error: File has no size\")";
    if (file.size() > static_cast<std::uint64_t>(INT32_MAX))
        return "the file is larger than the 2147483647 bytes the installer reads";
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    std::string fault = CheckPackageFile(data, file.size());
    if (!fault.empty()) return fault;

    std::size_t headerLength = GetU16(data + pkgformat::kHeaderLengthOffset);
    inspection.headerText = file.substr(pkgformat::kHeaderTextOffset, headerLength);
    std::size_t pos = pkgformat::kHeaderTextOffset + headerLength;
    unsigned count = GetU16(data + pos);
    pos += 2;
    for (unsigned i = 0; i < count; ++i) {
        ChunkRecord record{pos, GetU32(data + pos), GetU32(data + pos + 4)};
        inspection.chunks.push_back(record);
        std::string chunk = "chunk " + std::to_string(i) + " / " + std::to_string(count) + " at offset " +
                            std::to_string(pos) + " ";
        std::size_t start = inspection.stream.size();
        inspection.stream.resize(start + record.uncompressed);
        uLongf produced = record.uncompressed;
        uLong consumed = record.compressed;
        // A chunk of 0 bytes still needs somewhere to point.
        Bytef spare = 0;
        Bytef* target = record.uncompressed ? reinterpret_cast<Bytef*>(inspection.stream.data() + start) : &spare;
        int result = uncompress2(target, &produced, data + pos + pkgformat::kChunkRecordBytes, &consumed);
        if (result != Z_OK) return chunk + ZlibFault(result);
        if (produced != record.uncompressed)
            return chunk + "unpacks to " + std::to_string(produced) + " bytes, not its stated " +
                   std::to_string(record.uncompressed);
        pos += pkgformat::kChunkRecordBytes + record.compressed;
    }
    inspection.trailingBytes = file.size() - pos;
    return std::string();
}

std::string CheckStream(const std::string& stream) {
    PackageStream checked;
    checked.length = stream.size();
    checked.bytes.reset(new std::uint8_t[stream.size() ? stream.size() : 1]);
    std::memcpy(checked.bytes.get(), stream.data(), stream.size());
    RootFoldersForCheck roots;
    return CheckPackageStream(theApp, checked);
}

void ListStream(const std::string& stream, std::FILE* out) { TreePrinter(stream, out).Run(); }

}  // namespace pack
