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

// Decompresses every chunk, in file order, into one stream, moving the first
// half of the progress bar. A chunk that fails to decompress is logged and
// its share of the stream is zero-filled past what it produced. A package
// whose stream was kept by its check hands that stream over, with the same
// log lines and bar positions.
UnpackResult UnpackChunks(CPatchwellApp& state, Package& package, PackageStream& stream);

// The bar position after chunk index of count: index / count * 50.
int ChunkProgressPosition(unsigned index, unsigned count);
