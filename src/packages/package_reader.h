// Loading a package file and unpacking its chunks into the package stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <vector>

class CPatchwellApp;
struct Package;

// The unpacked content of one package; lives while the package is applied.
struct PackageStream {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t length = 0;  // the bytes the chunks produced
};

enum class UnpackResult {
    kUnpacked,
    kBadFile,   // the file's layout is unsound; logged, nothing decompressed
    kNoMemory,  // the stream buffer could not be allocated; the caller logs it
};

enum class LoadResult {
    kLoaded,
    kNotOpened,
    kNoSize,    // empty, or its length cannot be taken
    kTooLarge,  // longer than 2 GB
    kNoMemory,
    kChanged,   // no longer the file that was checked (package.checked)
};

// Loads the whole file into package.data and package.length without logging.
// A package whose data is already loaded is left as it is.
LoadResult LoadPackageFile(Package& package);

// Loads the whole file into package.data and package.length. Logs
// "Error: File not opened\n" or "Error: File has no size\n" and fails.
// A checked package keeps its checked bytes; one read again must be the file
// that was checked.
bool ReadPackageFile(Package& package);

// Checks that the header text, the chunk count and every chunk record lie
// inside the loaded file and that the chunks' sizes add up to less than 4 GB.
// Empty when sound, else the fault and its file offset.
std::string CheckPackageFile(const std::uint8_t* data, std::size_t length);

// The CRC-32 of a package file's bytes.
std::uint32_t PackageFileCrc(const std::uint8_t* data, std::size_t length);

// The chunk records of a file that passed CheckPackageFile.
struct ChunkRecord {
    std::size_t dataOffset;  // of the zlib bytes in the file
    std::uint32_t compressed;
    std::uint32_t uncompressed;
};
struct ChunkTable {
    std::vector<ChunkRecord> chunks;
    std::uint32_t total = 0;  // the uncompressed sizes added up
};
ChunkTable ReadChunkTable(const std::uint8_t* data);

// How the chunks are spread over threads: 0 lets the machine's core count
// decide (one thread for small packages); 1 keeps them on the caller's.
struct InflateOptions {
    unsigned threads = 0;
    bool zlibOnly = false;  // no faster whole-buffer inflater, where the build has one
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

// Decompresses every chunk, in file order, into one stream, moving the first
// half of the progress bar. A chunk that fails to decompress is logged and
// its share of the stream is zero-filled past what it produced. A package
// whose stream was kept by its check hands that stream over, with the same
// log lines and bar positions.
UnpackResult UnpackChunks(CPatchwellApp& state, Package& package, PackageStream& stream);

// Reads the text at cursor (2-byte length, then the bytes) and moves cursor
// past it. The text ends at its first zero byte. Never reads outside the stream.
std::string ReadText(const PackageStream& stream, std::size_t& cursor);

// The bar position after chunk index of count: index / count * 50.
int ChunkProgressPosition(unsigned index, unsigned count);
