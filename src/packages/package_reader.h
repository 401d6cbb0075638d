// Loading a package file and unpacking its chunks into the package stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "packages/package_file.h"
#include "packages/package_stream.h"

class CPatchwellApp;
struct Package;

enum class UnpackResult {
    kUnpacked,
    kBadFile,   // the file's layout is unsound; logged, nothing decompressed
    kNoMemory,  // the stream buffer could not be allocated; the caller logs it
};

// Loads the whole file into package.data and package.length, unless loaded
// already. Logs "Error: File not opened\n", "Error: File has no size\n" (also
// past 2 GB) or "ERROR: Could not allocate data\n" and fails.
bool ReadPackageFile(Package& package);

// Decompresses every chunk, in file order, into one stream, moving the first
// half of the progress bar. A chunk that fails to decompress is logged and
// its share of the stream is zero-filled past what it produced.
UnpackResult UnpackChunks(CPatchwellApp& state, Package& package, PackageStream& stream);

// The table's lines: "N chunks" and "Total uncompressed size: N".
void LogChunkTable(const ChunkTable& table);
// One chunk's line, its error line when result is not Z_OK, and the bar.
void LogChunk(CPatchwellApp& state, unsigned index, unsigned count, int result);

// The bar position after chunk index of count: index / count * 50.
int ChunkProgressPosition(unsigned index, unsigned count);
