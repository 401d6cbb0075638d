// Fuzzes the chunk table and the unpacking in memory. The first byte picks
// the threads (one in eight inputs spread over 2 to 5, as starting threads is
// slow) and whether the build's fast inflater may be used; the rest is a
// package file. The stream, the chunks' results and their order
// must be those of one thread decompressing with zlib alone.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "packages/package_file.h"

namespace {

// Inputs claiming more stream than this are skipped: the fuzzer's memory
// limit would take a 4 GB allocation for a leak.
constexpr std::uint64_t kMaxClaimedStream = 256u << 10;

struct Outcome {
    std::vector<std::uint8_t> bytes;
    std::vector<int> results;
};

Outcome Inflate(const std::uint8_t* data, const ChunkTable& table, InflateOptions options) {
    Outcome outcome;
    outcome.bytes.assign(table.total, 0xA5);  // stale bytes must never show through
    std::size_t length = InflateChunks(
        data, table, outcome.bytes.data(),
        [&](unsigned index, unsigned, int result) {
            if (index != outcome.results.size()) {
                std::fprintf(stderr, "chunk %u reported out of order\n", index);
                std::abort();
            }
            outcome.results.push_back(result);
        },
        options);
    outcome.bytes.resize(length);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned threads = (data[0] & 0x38) == 0x38 ? 2 + (data[0] & 3) : 1;
    const bool zlibOnly = (data[0] & 4) != 0;
    const std::uint8_t* file = data + 1;
    const std::size_t length = size - 1;
    ChunkTable table;
    if (!ReadChunkTable(file, length, table).empty()) return 0;
    if (table.total > kMaxClaimedStream) return 0;
    Outcome reference = Inflate(file, table, InflateOptions{1, true});
    Outcome tried = Inflate(file, table, InflateOptions{threads, zlibOnly});
    if (tried.results != reference.results || tried.bytes != reference.bytes) {
        std::fprintf(stderr, "%u threads%s unpack differently from one thread with zlib\n", threads,
                     zlibOnly ? "" : " with the fast inflater");
        std::abort();
    }
    return 0;
}
