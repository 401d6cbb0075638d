#include "packages/package_reader.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <new>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "packages/package_format.h"
#include "platform/platform.h"

using pkgformat::GetU16;
using pkgformat::GetU32;

bool ReadPackageFile(Package& package) {
    plat::StreamHolder file(plat::OpenStream(package.path, "rb"));
    if (!file) {
        LogPrintf("Error: File not opened\n");
        return false;
    }
    long length = plat::StreamLength(file.Get());
    if (length <= 0 || static_cast<unsigned long>(length) > static_cast<unsigned long>(
                                                               std::numeric_limits<std::int32_t>::max())) {
        file.Close();
        LogPrintf("Error: File has no size\n");
        return false;
    }
    package.data.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(length)]);
    if (!package.data) {
        LogPrintf("ERROR: Could not allocate data\n");
        return false;
    }
    // A short read must not leave unread bytes to be taken for package data:
    // the package is as long as what was read, and the layout check judges it.
    std::size_t read = plat::ReadStream(file.Get(), package.data.get(), static_cast<std::size_t>(length));
    package.length = static_cast<std::int32_t>(read);
    return true;
}

std::string CheckPackageFile(const std::uint8_t* data, std::size_t length) {
    // 64-bit offsets: the sizes in the file can run past a 32-bit size_t.
    const std::uint64_t end = length;
    auto at = [](const char* what, std::uint64_t offset) {
        return std::string(what) + " at offset " + std::to_string(offset);
    };
    if (end < pkgformat::kHeaderTextOffset) return at("header text length runs past the end of the file", 1);
    std::uint64_t pos = pkgformat::kHeaderTextOffset + GetU16(data + pkgformat::kHeaderLengthOffset);
    if (pos + 2 > end) return at("chunk count runs past the end of the file", pos);
    unsigned count = GetU16(data + pos);
    pos += 2;
    std::uint64_t total = 0;
    for (unsigned i = 0; i < count; ++i) {
        std::string chunk = "chunk " + std::to_string(i) + " / " + std::to_string(count);
        if (pos + pkgformat::kChunkRecordBytes > end)
            return at((chunk + " record runs past the end of the file").c_str(), pos);
        std::uint64_t compressed = GetU32(data + pos);
        total += GetU32(data + pos + 4);
        if (total > std::numeric_limits<std::uint32_t>::max())
            return at((chunk + ": the total uncompressed size passes 4 GB").c_str(), pos + 4);
        if (pos + pkgformat::kChunkRecordBytes + compressed > end)
            return at((chunk + " runs past the end of the file").c_str(), pos);
        pos += pkgformat::kChunkRecordBytes + compressed;
    }
    return std::string();
}

int ChunkProgressPosition(unsigned index, unsigned count) {
    return static_cast<int>(static_cast<float>(static_cast<double>(index) / count * 50.0));
}

UnpackResult UnpackChunks(CPatchwellApp& state, const Package& package, PackageStream& stream) {
    const std::uint8_t* data = package.data.get();
    std::size_t length = package.length > 0 ? static_cast<std::size_t>(package.length) : 0;
    std::string fault = CheckPackageFile(data, length);
    if (!fault.empty()) {
        LogText("ERROR: Bad package file: " + fault + "\n");
        return UnpackResult::kBadFile;
    }
    std::size_t pos = pkgformat::kHeaderTextOffset + GetU16(data + pkgformat::kHeaderLengthOffset);
    unsigned count = GetU16(data + pos);
    LogPrintf("%d chunks\n", static_cast<int>(count));
    const std::size_t firstRecord = pos + 2;

    std::uint32_t total = 0;
    pos = firstRecord;
    for (unsigned i = 0; i < count; ++i) {
        total += GetU32(data + pos + 4);
        pos += pkgformat::kChunkRecordBytes + GetU32(data + pos);
    }
    LogPrintf("Total uncompressed size: %d\n", static_cast<int>(total));
    stream.bytes.reset(new (std::nothrow) std::uint8_t[total]);
    if (!stream.bytes) return UnpackResult::kNoMemory;
    LogPrintf("Memory allocated\n");

    // Each chunk is decompressed straight from the loaded file into its
    // place in the stream: no copies, so memory stays at file plus stream.
    std::size_t offset = 0;
    pos = firstRecord;
    for (unsigned i = 0; i < count; ++i) {
        LogPrintf("Decompressing chunk: %d / %d\n", static_cast<int>(i), static_cast<int>(count));
        std::uint32_t compressed = GetU32(data + pos);
        std::uint32_t uncompressed = GetU32(data + pos + 4);
        std::uint8_t* out = stream.bytes.get() + offset;
        uLongf produced = uncompressed;
        int result = uncompress(out, &produced, data + pos + pkgformat::kChunkRecordBytes, compressed);
        if (result != Z_OK) {
            LogPrintf("ERROR: uncompress failed: %d\n", result);
            // The chunk's whole share is kept, as unpacked so far; the rest is
            // zeros, so no stale memory reaches the user's files.
            if (produced > uncompressed) produced = 0;
            std::memset(out + produced, 0, uncompressed - produced);
            produced = uncompressed;
        }
        offset += produced;
        pos += pkgformat::kChunkRecordBytes + compressed;
        SetBarPosition(state.progressBar, ChunkProgressPosition(i, count));
    }
    LogPrintf("Chunks uncompressed successfully\n");
    stream.length = offset;
    return UnpackResult::kUnpacked;
}

std::string ReadText(const PackageStream& stream, std::size_t& cursor) {
    std::size_t n = 0;
    if (cursor <= stream.length && stream.length - cursor >= 2) n = GetU16(stream.bytes.get() + cursor);
    cursor += 2;
    std::size_t start = cursor < stream.length ? cursor : stream.length;
    std::size_t take = n;
    if (take > stream.length - start) take = stream.length - start;
    if (take > pkgformat::kMaxTextLength) take = pkgformat::kMaxTextLength;
    cursor += n;
    if (take == 0) return std::string();
    const char* text = reinterpret_cast<const char*>(stream.bytes.get()) + start;
    if (const void* zero = std::memchr(text, 0, take)) take = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
    return std::string(text, take);
}
