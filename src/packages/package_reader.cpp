#include "packages/package_reader.h"

#include <zlib.h>

#include <limits>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "packages/package_format.h"
#include "platform/platform.h"

bool ReadPackageFile(Package& package) {
    if (package.data) return true;
    plat::StreamHolder file(plat::OpenStream(package.path, "rb"));
    if (!file) {
        LogPrintf("Error: File not opened\n");
        return false;
    }
    long length = plat::StreamLength(file.Get());
    if (length <= 0 ||
        static_cast<unsigned long>(length) > static_cast<unsigned long>(std::numeric_limits<std::int32_t>::max())) {
        LogPrintf("Error: File has no size\n");
        return false;
    }
    plat::LargeBuffer data = plat::AllocateLarge(static_cast<std::size_t>(length));
    if (!data) {
        LogPrintf("ERROR: Could not allocate data\n");
        return false;
    }
    // A short read must not leave unread bytes to be taken for package data:
    // the package is as long as what was read, and the layout check judges it.
    std::size_t read = plat::ReadStream(file.Get(), data.get(), static_cast<std::size_t>(length));
    package.data = std::move(data);
    package.length = static_cast<std::int32_t>(read);
    return true;
}

void LogChunkTable(const ChunkTable& table) {
    LogPrintf("%d chunks\n", static_cast<int>(table.chunks.size()));
    LogPrintf("Total uncompressed size: %d\n", static_cast<int>(table.total));
}

void LogChunk(CPatchwellApp& state, unsigned index, unsigned count, int result) {
    LogPrintf("Decompressing chunk: %d / %d\n", static_cast<int>(index), static_cast<int>(count));
    if (result != Z_OK) LogPrintf("ERROR: uncompress failed: %d\n", result);
    SetBarPosition(state.progressBar, ChunkProgressPosition(index, count));
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
    LogChunkTable(table);
    auto logChunk = [&](unsigned i, unsigned n, int result) { LogChunk(state, i, n, result); };
    stream.bytes = plat::AllocateLarge(table.total);
    if (!stream.bytes) return UnpackResult::kNoMemory;
    LogPrintf("Memory allocated\n");
    // Each chunk is decompressed straight from the loaded file into its
    // place in the stream: no copies, so memory stays at file plus stream.
    stream.length = InflateChunks(data, table, stream.bytes.get(), logChunk);
    LogPrintf("Chunks uncompressed successfully\n");
    return UnpackResult::kUnpacked;
}
