#include "packages/package_reader.h"

#include <zlib.h>
#ifdef PW_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "packages/package_format.h"
#include "platform/platform.h"

using pkgformat::GetU16;
using pkgformat::GetU32;

std::uint32_t PackageFileCrc(const std::uint8_t* data, std::size_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        uInt piece = length > (1u << 30) ? (1u << 30) : static_cast<uInt>(length);
        crc = crc32(crc, data, piece);
        data += piece;
        length -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

LoadResult LoadPackageFile(Package& package) {
    if (package.data) return LoadResult::kLoaded;
    plat::StreamHolder file(plat::OpenStream(package.path, "rb"));
    if (!file) return LoadResult::kNotOpened;
    long length = plat::StreamLength(file.Get());
    if (length <= 0) return LoadResult::kNoSize;
    if (static_cast<unsigned long>(length) > static_cast<unsigned long>(std::numeric_limits<std::int32_t>::max()))
        return LoadResult::kTooLarge;
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(length)]);
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

ChunkTable ReadChunkTable(const std::uint8_t* data) {
    ChunkTable table;
    std::size_t pos = pkgformat::kHeaderTextOffset + GetU16(data + pkgformat::kHeaderLengthOffset);
    unsigned count = GetU16(data + pos);
    pos += 2;
    table.chunks.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        ChunkRecord record{pos + pkgformat::kChunkRecordBytes, GetU32(data + pos), GetU32(data + pos + 4)};
        table.total += record.uncompressed;
        table.chunks.push_back(record);
        pos = record.dataOffset + record.compressed;
    }
    return table;
}

namespace {

// Below this much compressed data, starting threads costs more than it saves.
constexpr std::uint64_t kThreadedBytes = 1u << 20;

// One thread's decompressor. On the native build the whole-buffer inflater
// takes each chunk first; anything it refuses is decompressed again by zlib,
// whose result code and partial output are the ones the log and the stream
// keep.
class ChunkInflater {
public:
    explicit ChunkInflater(bool zlibOnly) {
#ifdef PW_HAVE_LIBDEFLATE
        if (!zlibOnly) fast = libdeflate_alloc_decompressor();
#else
        (void)zlibOnly;
#endif
    }
    ~ChunkInflater() {
#ifdef PW_HAVE_LIBDEFLATE
        if (fast) libdeflate_free_decompressor(fast);
#endif
    }
    ChunkInflater(const ChunkInflater&) = delete;
    ChunkInflater& operator=(const ChunkInflater&) = delete;

    // Decompresses one chunk into out (capacity u); returns zlib's result
    // and the bytes the chunk takes in the stream.
    int Inflate(const std::uint8_t* in, const ChunkRecord& record, std::uint8_t* out, std::uint32_t& produced) {
        const std::uint32_t size = record.uncompressed;
#ifdef PW_HAVE_LIBDEFLATE
        if (fast) {
            std::size_t made = 0;
            if (libdeflate_zlib_decompress(fast, in, record.compressed, out, size, &made) == LIBDEFLATE_SUCCESS) {
                produced = static_cast<std::uint32_t>(made);
                return Z_OK;
            }
        }
#endif
        uLongf made = size;
        int result = uncompress(out, &made, in, record.compressed);
        produced = static_cast<std::uint32_t>(made);
        if (result != Z_OK) {
            // The chunk's whole share is kept, as unpacked so far; the rest is
            // zeros, so no stale memory reaches the user's files.
            if (produced > size) produced = 0;
            if (size > produced) std::memset(out + produced, 0, size - produced);
            produced = size;
        }
        return result;
    }

private:
#ifdef PW_HAVE_LIBDEFLATE
    libdeflate_decompressor* fast = nullptr;
#endif
};

}  // namespace

unsigned InflateThreads(const ChunkTable& table, InflateOptions options) {
    unsigned threads = options.threads;
    if (threads == 0) {
        std::uint64_t compressed = 0;
        for (const ChunkRecord& record : table.chunks) compressed += record.compressed;
        threads = compressed < kThreadedBytes ? 1 : std::thread::hardware_concurrency();
    }
    if (threads == 0) threads = 1;
    std::size_t chunks = table.chunks.size();
    return chunks < threads ? (chunks ? static_cast<unsigned>(chunks) : 1u) : threads;
}

std::size_t InflateChunks(const std::uint8_t* data, const ChunkTable& table, std::uint8_t* out,
                          const ChunkDone& done, InflateOptions options) {
    const unsigned count = static_cast<unsigned>(table.chunks.size());
    // Each chunk goes to its share at the sum of the sizes before it; gaps
    // left by chunks that produced less are closed at the end.
    std::vector<std::size_t> share(count);
    std::size_t nominal = 0;
    for (unsigned i = 0; i < count; ++i) {
        share[i] = nominal;
        nominal += table.chunks[i].uncompressed;
    }
    std::vector<int> results(count, Z_OK);
    std::vector<std::uint32_t> produced(count, 0);
    auto inflateOne = [&](ChunkInflater& inflater, unsigned i) {
        const ChunkRecord& record = table.chunks[i];
        results[i] = inflater.Inflate(data + record.dataOffset, record, out + share[i], produced[i]);
    };

    const unsigned threads = InflateThreads(table, options);
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<char> ready(count, 0);  // guarded by mutex
    std::atomic<unsigned> next{0};
    auto work = [&] {
        ChunkInflater inflater(options.zlibOnly);
        for (unsigned i; (i = next.fetch_add(1)) < count;) {
            inflateOne(inflater, i);
            {
                std::lock_guard<std::mutex> lock(mutex);
                ready[i] = 1;
            }
            finished.notify_all();
        }
    };
    if (threads > 1) {
        try {
            for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
        } catch (const std::system_error&) {
            // Fewer threads than asked for; the calling thread takes what is left.
        }
    }
    if (workers.empty()) {
        ChunkInflater inflater(options.zlibOnly);
        for (unsigned i = 0; i < count; ++i) {
            inflateOne(inflater, i);
            done(i, count, results[i]);
        }
    } else {
        for (unsigned i = 0; i < count; ++i) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                finished.wait(lock, [&] { return ready[i] != 0; });
            }
            done(i, count, results[i]);
        }
        for (std::thread& worker : workers) worker.join();
    }

    std::size_t length = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (length != share[i] && produced[i] > 0) std::memmove(out + length, out + share[i], produced[i]);
        length += produced[i];
    }
    return length;
}

UnpackResult UnpackChunks(CPatchwellApp& state, Package& package, PackageStream& stream) {
    const std::uint8_t* data = package.data.get();
    std::size_t length = package.length > 0 ? static_cast<std::size_t>(package.length) : 0;
    std::string fault = CheckPackageFile(data, length);
    if (!fault.empty()) {
        LogText("ERROR: Bad package file: " + fault + "\n");
        return UnpackResult::kBadFile;
    }
    ChunkTable table = ReadChunkTable(data);
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

    stream.bytes.reset(new (std::nothrow) std::uint8_t[table.total]);
    if (!stream.bytes) return UnpackResult::kNoMemory;
    LogPrintf("Memory allocated\n");
    // Each chunk is decompressed straight from the loaded file into its
    // place in the stream: no copies, so memory stays at file plus stream.
    stream.length = InflateChunks(data, table, stream.bytes.get(), logChunk);
    LogPrintf("Chunks uncompressed successfully\n");
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
