// Loading a package file and unpacking its chunks into the package stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// Loads the whole file into package.data and package.length. Logs
// "Error: File not opened\n" or "Error: File has no size\n" and fails.
bool ReadPackageFile(Package& package);

// Checks that the header text, the chunk count and every chunk record lie
// inside the loaded file and that the chunks' sizes add up to less than 4 GB.
// Empty when sound, else the fault and its file offset.
std::string CheckPackageFile(const std::uint8_t* data, std::size_t length);

// Decompresses every chunk, in file order, into one stream, moving the first
// half of the progress bar. A chunk that fails to decompress is logged and
// its share of the stream is zero-filled past what it produced.
UnpackResult UnpackChunks(CPatchwellApp& state, const Package& package, PackageStream& stream);

// Reads the text at cursor (2-byte length, then the bytes) and moves cursor
// past it. The text ends at its first zero byte. Never reads outside the stream.
std::string ReadText(const PackageStream& stream, std::size_t& cursor);

// The bar position after chunk index of count: index / count * 50.
int ChunkProgressPosition(unsigned index, unsigned count);
