// Fuzzes the chunk table's reading in memory: whatever the bytes, it reads
// nothing outside them, and a table it passes lies wholly inside the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "packages/package_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ChunkTable table;
    if (!ReadChunkTable(data, size, table).empty()) return 0;
    std::uint64_t total = 0;
    for (const ChunkRecord& record : table.chunks) {
        if (record.dataOffset > size || size - record.dataOffset < record.compressed) {
            std::fprintf(stderr, "a passed chunk record runs past the file\n");
            std::abort();
        }
        total += record.uncompressed;
    }
    if (table.end > size) {
        std::fprintf(stderr, "a passed chunk table ends past the file\n");
        std::abort();
    }
    if (total != table.total) {
        std::fprintf(stderr, "the chunk sizes do not add up to the total\n");
        std::abort();
    }
    return 0;
}
