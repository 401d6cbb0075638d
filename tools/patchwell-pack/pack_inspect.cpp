#include "patchwell-pack/pack_inspect.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "packages/package_file.h"
#include "packages/package_format.h"
#include "packages/package_stream.h"
#include "platform/posix/codepage.h"

namespace pack {
namespace {

std::string ZlibFault(int code) {
    switch (code) {
        case Z_DATA_ERROR: return "is not a sound zlib stream (zlib error -3)";
        case Z_BUF_ERROR: return "unpacks to more than its stated size (zlib error -5)";
        case Z_MEM_ERROR: return "could not be unpacked: out of memory (zlib error -4)";
        default: return "could not be unpacked (zlib error " + std::to_string(code) + ")";
    }
}

// Gathers a checked stream's groups and entries with the bytes below each,
// then prints them: a group's or an entry's line shows sizes that only the
// end of its subtree gives.
class TreePrinter : public StreamVisitor {
public:
    bool Group(unsigned index, unsigned entries) override {
        lines.push_back(Line{true, index, entries, std::string(), 0, 0});
        open.assign(1, lines.size() - 1);
        return true;
    }
    void Enter(const StreamEntry& entry) override {
        lines.push_back(Line{entry.folder, 0, 0, entry.name, entry.depth, entry.size});
        open.resize(entry.depth);
        open.push_back(lines.size() - 1);
    }
    void Leave(const StreamEntry& entry) override {
        std::uint64_t size = lines[open[entry.depth]].size;
        lines[open[entry.depth - 1]].size += size;
    }

    void Print(std::FILE* out) const {
        for (const Line& line : lines) {
            if (line.depth == 0) {
                std::fprintf(out, "root %u (%s): %u %s, %llu bytes\n", line.index, kRootFolders[line.index].title,
                             line.entries, line.entries == 1 ? "entry" : "entries",
                             static_cast<unsigned long long>(line.size));
            } else {
                std::fprintf(out, "%*s%s%s  %llu\n", static_cast<int>(line.depth * 2), "",
                             plat::posix::Utf8FromAnsi(line.name).c_str(), line.folder ? "\\" : "",
                             static_cast<unsigned long long>(line.size));
            }
        }
    }

private:
    struct Line {
        bool folder;
        unsigned index;    // a group's root folder
        unsigned entries;  // a group's entry count
        std::string name;
        unsigned depth;      // 0 for a group
        std::uint64_t size;  // the bytes of the files below, its own included
    };
    std::vector<Line> lines;
    std::vector<std::size_t> open;  // the lines of the group and of each open entry
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
    ChunkTable table;
    std::string fault = ReadChunkTable(data, file.size(), table);
    if (!fault.empty()) return fault;

    inspection.headerText = PackageHeaderText(data);
    const unsigned count = static_cast<unsigned>(table.chunks.size());
    for (unsigned i = 0; i < count; ++i) {
        const ChunkRecord& record = table.chunks[i];
        inspection.chunks.push_back(record);
        std::string chunk = "chunk " + std::to_string(i) + " / " + std::to_string(count) + " at offset " +
                            std::to_string(record.dataOffset - pkgformat::kChunkRecordBytes) + " ";
        std::size_t start = inspection.stream.size();
        inspection.stream.resize(start + record.uncompressed);
        uLongf produced = record.uncompressed;
        uLong consumed = record.compressed;
        // A chunk of 0 bytes still needs somewhere to point.
        Bytef spare = 0;
        Bytef* target = record.uncompressed ? reinterpret_cast<Bytef*>(inspection.stream.data() + start) : &spare;
        int result = uncompress2(target, &produced, data + record.dataOffset, &consumed);
        if (result != Z_OK) return chunk + ZlibFault(result);
        if (produced != record.uncompressed)
            return chunk + "unpacks to " + std::to_string(produced) + " bytes, not its stated " +
                   std::to_string(record.uncompressed);
    }
    inspection.trailingBytes = file.size() - table.end;
    return std::string();
}

std::string CheckStream(const std::string& stream) {
    StreamVisitor nothing;
    return WalkPackageStream(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), nothing);
}

void ListStream(const std::string& stream, std::FILE* out) {
    TreePrinter printer;
    WalkPackageStream(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), printer);
    printer.Print(out);
}

}  // namespace pack
