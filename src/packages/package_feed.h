// A package file read a few megabytes at a time, its chunks unpacked into
// the stream just ahead of the walk that reads it and the stream's bytes let
// go behind it: neither the whole file nor the whole stream is held in
// memory at once, however large the package.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "packages/package_file.h"
#include "packages/package_stream.h"
#include "platform/platform.h"

enum class FeedOpen {
    kOpened,
    kNotOpened,
    kNoSize,    // empty, or its length cannot be taken
    kTooLarge,  // longer than 2 GB
    kBadTable,  // the fault says what is wrong and where
};

// An open package file with its chunk table, read from the file itself.
class FeedFile {
public:
    FeedFile() = default;
    FeedFile(const FeedFile&) = delete;
    FeedFile& operator=(const FeedFile&) = delete;

    FeedOpen Open(const std::string& path, std::string& fault);

    plat::Stream* Get() const { return file.Get(); }
    std::size_t Length() const { return length; }
    const ChunkTable& Table() const { return table; }

private:
    plat::StreamHolder file;
    std::size_t length = 0;
    ChunkTable table;
};

// Brings a package's stream into memory for a walk, a few chunks at a time,
// and lets go of what the walk and the writer are done with.
class ChunkFeed : public StreamFill {
    static constexpr std::size_t kNothingHeld = static_cast<std::size_t>(-1);

public:
    // What is read of the file at a time, unless one chunk is larger.
    static constexpr std::size_t kInputBytes = 8u << 20;

    // The bytes of input a feed reads the table's chunks with: up to most at
    // a time, or the largest chunk where that is more.
    static std::size_t InputCapacity(const ChunkTable& table, std::size_t most = kInputBytes);

    // input holds capacity bytes (InputCapacity) and stream table.total
    // bytes, both from plat::AllocateLarge; done is called on the calling
    // thread for each chunk, in chunk order, once it is unpacked, with zlib's
    // result.
    ChunkFeed(FeedFile& file, std::uint8_t* input, std::size_t capacity, std::uint8_t* stream, ChunkDone done);
    ChunkFeed(const ChunkFeed&) = delete;
    ChunkFeed& operator=(const ChunkFeed&) = delete;

    // The CRC-32 that each chunk must have (ChunkCrc), as a check saw them;
    // a chunk that differs stops the feed as changed.
    void Expect(const std::vector<std::uint32_t>& crcs) { expected = &crcs; }
    // Reads every chunk once, before any is unpacked, and compares it with
    // what Expect gave: true when the whole file is still the one checked.
    bool Verify();
    // Each chunk's CRC-32, once every chunk is unpacked.
    const std::vector<std::uint32_t>& Crcs() const { return crcs; }

    std::size_t FillTo(std::uint64_t end) override;
    void Passed(std::size_t offset) override;
    // The stream's bytes from `from` on are still in use; nullptr lets go.
    void Hold(const std::uint8_t* from);
    // Unpacks every chunk left; the stream's bytes are let go as it goes.
    std::size_t FillAll();

    // True when the file did not give what its table (or the check) said:
    // shortened, unreadable or changed since. Nothing more is unpacked then.
    bool Changed() const { return changed; }

private:
    bool ReadRun(unsigned first, ChunkTable& batch);
    void FillBatch();
    void Forget();

    FeedFile& file;
    std::uint8_t* input;
    std::uint8_t* stream;
    ChunkDone done;
    std::size_t capacity;
    std::vector<std::uint32_t> crcs;
    const std::vector<std::uint32_t>* expected = nullptr;
    unsigned next = 0;          // the first chunk not yet unpacked
    std::size_t filled = 0;     // the stream bytes present
    std::size_t passed = 0;     // the walk reads nothing below this again
    std::size_t held = kNothingHeld;  // nor does anyone else below this
    std::size_t forgotten = 0;  // the bytes let go
    bool all = false;           // FillAll: no walk reads the bytes
    bool changed = false;
};
