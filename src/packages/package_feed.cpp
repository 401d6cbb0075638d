#include "packages/package_feed.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "packages/package_format.h"

using pkgformat::GetU32;

namespace {

// The stream's bytes are let go this many at a time.
constexpr std::size_t kForgetStep = 4u << 20;

}  // namespace

FeedOpen FeedFile::Open(const std::string& path, std::string& fault) {
    file.Reset(plat::OpenStream(path, "rb"));
    if (!file) return FeedOpen::kNotOpened;
    long size = plat::StreamLength(file.Get());
    if (size <= 0) return FeedOpen::kNoSize;
    if (static_cast<unsigned long>(size) > static_cast<unsigned long>(std::numeric_limits<std::int32_t>::max()))
        return FeedOpen::kTooLarge;
    length = static_cast<std::size_t>(size);
    plat::Stream* stream = file.Get();
    fault = ReadChunkTable(length, table, [stream](std::uint64_t offset, std::size_t bytes, std::uint8_t* out) {
        return plat::SeekStream(stream, static_cast<long>(offset)) == 0 &&
               plat::ReadStream(stream, out, bytes) == bytes;
    });
    return fault.empty() ? FeedOpen::kOpened : FeedOpen::kBadTable;
}

// Several chunks are read at a time, so that every core has one to unpack,
// and few enough that the input stays in memory already in use.
std::size_t ChunkFeed::InputCapacity(const ChunkTable& table, std::size_t most) {
    std::size_t largest = 0;
    for (const ChunkRecord& record : table.chunks)
        largest = std::max(largest, std::size_t{record.compressed} + pkgformat::kChunkRecordBytes);
    std::size_t all = 0;  // every chunk with its record, as the file holds them
    if (!table.chunks.empty()) all = table.end - (table.chunks.front().dataOffset - pkgformat::kChunkRecordBytes);
    return std::max(largest, std::min(all, most));
}

ChunkFeed::ChunkFeed(FeedFile& file, std::uint8_t* input, std::size_t capacity, std::uint8_t* stream,
                     ChunkDone done)
    : file(file), input(input), stream(stream), done(std::move(done)), capacity(capacity),
      crcs(file.Table().chunks.size(), 0) {}

std::size_t ChunkFeed::FillTo(std::uint64_t end) {
    const std::size_t count = file.Table().chunks.size();
    while (filled < end && next < count && !changed) FillBatch();
    return filled;
}

std::size_t ChunkFeed::FillAll() {
    all = true;
    std::size_t length = FillTo(std::numeric_limits<std::uint64_t>::max());
    Forget();
    return length;
}

void ChunkFeed::Passed(std::size_t offset) {
    passed = offset;
    Forget();
}

void ChunkFeed::Hold(const std::uint8_t* from) {
    held = from ? static_cast<std::size_t>(from - stream) : kNothingHeld;
    Forget();
}

void ChunkFeed::Forget() {
    const std::size_t below = all ? filled : std::min(passed, held);
    // A few megabytes at a time while a walk reads on; at the end, the rest.
    const bool worth = below >= forgotten + kForgetStep || (all && below > forgotten);
    if (!worth) return;
    plat::ForgetLarge(stream, below);
    forgotten = below;
}

// Reads the chunks from first on that fit the input, in one piece (the
// chunks lie one after another in the file, each record before its zlib
// bytes), into the input as batch, whose offsets are the input's; false when
// the file does not give them as its table said.
bool ChunkFeed::ReadRun(unsigned first, ChunkTable& batch) {
    const std::vector<ChunkRecord>& chunks = file.Table().chunks;
    const std::size_t start = chunks[first].dataOffset - pkgformat::kChunkRecordBytes;
    std::size_t bytes = 0;
    batch = ChunkTable();
    for (unsigned i = first; i < chunks.size(); ++i) {
        const ChunkRecord& record = chunks[i];
        std::size_t end = record.dataOffset + record.compressed - start;
        if (i > first && end > capacity) break;
        batch.chunks.push_back(ChunkRecord{record.dataOffset - start, record.compressed, record.uncompressed});
        batch.total += record.uncompressed;
        bytes = end;
    }
    if ((first == 0 && plat::SeekStream(file.Get(), static_cast<long>(start)) != 0) ||
        plat::ReadStream(file.Get(), input, bytes) != bytes)
        return false;
    for (const ChunkRecord& record : batch.chunks) {
        const std::uint8_t* at = input + record.dataOffset - pkgformat::kChunkRecordBytes;
        if (GetU32(at) != record.compressed || GetU32(at + 4) != record.uncompressed) return false;
    }
    return true;
}

bool ChunkFeed::Verify() {
    const std::size_t count = file.Table().chunks.size();
    ChunkTable batch;
    for (unsigned first = 0; first < count; first += static_cast<unsigned>(batch.chunks.size())) {
        if (!ReadRun(first, batch)) return false;
        for (unsigned i = 0; i < batch.chunks.size(); ++i) {
            if (!expected || first + i >= expected->size() ||
                ChunkCrc(input, batch.chunks[i]) != (*expected)[first + i])
                return false;
        }
    }
    return true;
}

// Reads the next chunks and unpacks them on every core into the stream right
// after the bytes already there.
void ChunkFeed::FillBatch() {
    const unsigned first = next;
    ChunkTable batch;
    if (!ReadRun(first, batch)) {
        changed = true;
        return;
    }
    const unsigned last = first + static_cast<unsigned>(batch.chunks.size());
    const unsigned count = static_cast<unsigned>(file.Table().chunks.size());
    InflateOptions options;
    options.crcs = crcs.data() + first;
    std::size_t produced = InflateChunks(
        input, batch, stream + filled, [&](unsigned i, unsigned, int result) { done(first + i, count, result); },
        options);
    if (expected) {
        for (unsigned i = first; i < last; ++i) {
            if (i >= expected->size() || (*expected)[i] != crcs[i]) {
                changed = true;
                return;
            }
        }
    }
    next = last;
    filled += produced;
    Forget();
}
