// Fuzzes the package file check in memory: whatever the bytes, the check
// reads nothing outside them, and a file it passes has a chunk table that
// lies wholly inside the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "packages/package_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!CheckPackageFile(data, size).empty()) return 0;
    ChunkTable table = ReadChunkTable(data);
    std::uint64_t total = 0;
    for (const ChunkRecord& record : table.chunks) {
        if (record.dataOffset > size || size - record.dataOffset < record.compressed) {
            std::fprintf(stderr, "a passed chunk record runs past the file\n");
            std::abort();
        }
        total += record.uncompressed;
    }
    if (total != table.total) {
        std::fprintf(stderr, "the chunk sizes do not add up to the total\n");
        std::abort();
    }
    return 0;
}
