// A package file as it lies on disk: its header text, its chunk table and
// the decompression of its chunks into the package stream. Nothing here
// knows the installer state or the log, so that the package tool and the
// fuzz targets use the installer's own code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The header text of a file that passed CheckPackageFile, as it stands.
std::string PackageHeaderText(const std::uint8_t* data);

// The chunk table, read once for every user of it.
struct ChunkRecord {
    std::size_t dataOffset;  // of the zlib bytes in the file
    std::uint32_t compressed;
    std::uint32_t uncompressed;
};
struct ChunkTable {
    std::vector<ChunkRecord> chunks;
    std::uint32_t total = 0;  // the uncompressed sizes added up
    std::size_t end = 0;      // the file offset after the last chunk
};
// Reads the chunk table of a loaded file, checking that the header text, the
// chunk count and every chunk record lie inside it and that the chunks'
// sizes add up to less than 4 GB. Empty when sound, with the table filled;
// else the fault and its file offset, with the table empty.
std::string ReadChunkTable(const std::uint8_t* data, std::size_t length, ChunkTable& table);
// The same for a file that is not in memory: fetch copies bytes from a file
// offset (always inside length), false when they cannot be read.
using FetchBytes = std::function<bool(std::uint64_t offset, std::size_t bytes, std::uint8_t* out)>;
std::string ReadChunkTable(std::size_t length, ChunkTable& table, const FetchBytes& fetch);

// The CRC-32 of one chunk as the file holds it: its record and its zlib
// bytes, which lie before data + record.dataOffset and from there.
std::uint32_t ChunkCrc(const std::uint8_t* data, const ChunkRecord& record);

// How the chunks are spread over threads: 0 lets the machine's core count
// decide (one thread for small packages); 1 keeps them on the caller's.
struct InflateOptions {
    unsigned threads = 0;
    bool zlibOnly = false;  // no faster whole-buffer inflater, where the build has one
    std::uint32_t* crcs = nullptr;  // when set, receives each chunk's ChunkCrc
};

// Called on the calling thread for each chunk, in chunk order, once it is
// decompressed, with zlib's result code.
using ChunkDone = std::function<void(unsigned index, unsigned count, int result)>;

// Decompresses every chunk of the table into out (table.total bytes), each
// into its own share, on several threads. A chunk that fails keeps what it
// produced and is zero-filled to its size; a chunk that produces less than
// its size is followed directly by the next one. Returns the stream length.
// The bytes are the same whatever the threads.
std::size_t InflateChunks(const std::uint8_t* data, const ChunkTable& table, std::uint8_t* out,
                          const ChunkDone& done, InflateOptions options = {});

// The threads InflateChunks uses for the table.
unsigned InflateThreads(const ChunkTable& table, InflateOptions options);
