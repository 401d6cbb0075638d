#include "packages/package_reader.h"

#include <zlib.h>

#include <limits>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "packages/package_format.h"
#include "platform/platform.h"

LoadResult LoadPackageFile(Package& package) {
    if (package.data) return LoadResult::kLoaded;
    plat::StreamHolder file(plat::OpenStream(package.path, "rb"));
    if (!file) return LoadResult::kNotOpened;
    long length = plat::StreamLength(file.Get());
    if (length <= 0) return LoadResult::kNoSize;
    if (static_cast<unsigned long>(length) > static_cast<unsigned long>(std::numeric_limits<std::int32_t>::max()))
        return LoadResult::kTooLarge;
    plat::LargeBuffer data = plat::AllocateLarge(static_cast<std::size_t>(length));
    if (!data) return LoadResult::kNoMemory;
    // A short read must not leave unread bytes to be taken for package data:
    // the package is as long as what was read, and the layout check judges it.
    std::size_t read = plat::ReadStream(file.Get(), data.get(), static_cast<std::size_t>(length));
    if (package.checked && (static_cast<std::int32_t>(read) != package.checkedLength ||
                            PackageFileCrc(data.get(), read) != package.checkedCrc))
        return LoadResult::kChanged;
    package.data = std::move(data);
    package.length = static_cast<std::int32_t>(read);
    return LoadResult::kLoaded;
}

bool ReadPackageFile(Package& package) {
    switch (LoadPackageFile(package)) {
        case LoadResult::kLoaded:
            return true;
        case LoadResult::kNotOpened:
            LogPrintf("Error: File not opened\n");
            return false;
        case LoadResult::kNoSize:
        case LoadResult::kTooLarge:
            LogPrintf("Error: File has no size\n");
            return false;
        case LoadResult::kNoMemory:
            LogPrintf("ERROR: Could not allocate data\n");
            return false;
        case LoadResult::kChanged:
            LogPrintf("Error: File changed since it was checked\n");
            return false;
    }
    return false;
}

int ChunkProgressPosition(unsigned index, unsigned count) {
    return static_cast<int>(static_cast<float>(static_cast<double>(index) / count * 50.0));
}

UnpackResult UnpackChunks(CPatchwellApp& state, Package& package, PackageStream& stream) {
    const std::uint8_t* data = package.data.get();
    std::size_t length = package.length > 0 ? static_cast<std::size_t>(package.length) : 0;
    ChunkTable table;
    std::string fault = ReadChunkTable(data, length, table);
    if (!fault.empty()) {
        LogText("ERROR: Bad package file: " + fault + "\n");
        return UnpackResult::kBadFile;
    }
    const unsigned count = static_cast<unsigned>(table.chunks.size());
    LogPrintf("%d chunks\n", static_cast<int>(count));
    LogPrintf("Total uncompressed size: %d\n", static_cast<int>(table.total));
    auto logChunk = [&](unsigned i, unsigned n, int result) {
        LogPrintf("Decompressing chunk: %d / %d\n", static_cast<int>(i), static_cast<int>(n));
        if (result != Z_OK) LogPrintf("ERROR: uncompress failed: %d\n", result);
        SetBarPosition(state.progressBar, ChunkProgressPosition(i, n));
    };

    if (package.checkedStream) {
        // Unpacked by the check already, every chunk sound: the same lines.
        stream.bytes = std::move(package.checkedStream);
        stream.length = package.checkedStreamLength;
        package.checkedStreamLength = 0;
        LogPrintf("Memory allocated\n");
        for (unsigned i = 0; i < count; ++i) logChunk(i, count, Z_OK);
        LogPrintf("Chunks uncompressed successfully\n");
        return UnpackResult::kUnpacked;
    }

    stream.bytes = plat::AllocateLarge(table.total);
    if (!stream.bytes) return UnpackResult::kNoMemory;
    LogPrintf("Memory allocated\n");
    // Each chunk is decompressed straight from the loaded file into its
    // place in the stream: no copies, so memory stays at file plus stream.
    stream.length = InflateChunks(data, table, stream.bytes.get(), logChunk);
    LogPrintf("Chunks uncompressed successfully\n");
    return UnpackResult::kUnpacked;
}
