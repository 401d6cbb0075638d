#include "packages/package_file.h"

#include <zlib.h>
#ifdef PW_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "packages/package_format.h"

using pkgformat::GetU16;
using pkgformat::GetU32;

std::uint32_t ChunkCrc(const std::uint8_t* data, const ChunkRecord& record) {
    const std::uint8_t* bytes = data + record.dataOffset - pkgformat::kChunkRecordBytes;
    std::size_t length = std::size_t{record.compressed} + pkgformat::kChunkRecordBytes;
#ifdef PW_HAVE_LIBDEFLATE
    // The same value as zlib's, four times as fast.
    return libdeflate_crc32(0, bytes, length);
#else
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        uInt piece = length > (1u << 30) ? (1u << 30) : static_cast<uInt>(length);
        crc = crc32(crc, bytes, piece);
        bytes += piece;
        length -= piece;
    }
    return static_cast<std::uint32_t>(crc);
#endif
}

std::string ReadChunkTable(const std::uint8_t* data, std::size_t length, ChunkTable& table) {
    return ReadChunkTable(length, table, [data](std::uint64_t offset, std::size_t bytes, std::uint8_t* out) {
        std::memcpy(out, data + offset, bytes);
        return true;
    });
}

std::string ReadChunkTable(std::size_t length, ChunkTable& table, const FetchBytes& fetch) {
    table = ChunkTable();
    // 64-bit offsets: the sizes in the file can run past a 32-bit size_t.
    const std::uint64_t end = length;
    auto at = [](const char* what, std::uint64_t offset) {
        return std::string(what) + " at offset " + std::to_string(offset);
    };
    std::uint8_t field[pkgformat::kChunkRecordBytes];
    auto unread = [&](std::uint64_t offset) { return at("the file could not be read", offset); };
    if (end < pkgformat::kHeaderTextOffset) return at("header text length runs past the end of the file", 1);
    if (!fetch(pkgformat::kHeaderLengthOffset, 2, field)) return unread(pkgformat::kHeaderLengthOffset);
    std::uint64_t pos = pkgformat::kHeaderTextOffset + GetU16(field);
    if (pos + 2 > end) return at("chunk count runs past the end of the file", pos);
    if (!fetch(pos, 2, field)) return unread(pos);
    unsigned count = GetU16(field);
    pos += 2;
    std::uint64_t total = 0;
    std::vector<ChunkRecord> chunks;
    chunks.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        std::string chunk = "chunk " + std::to_string(i) + " / " + std::to_string(count);
        if (pos + pkgformat::kChunkRecordBytes > end)
            return at((chunk + " record runs past the end of the file").c_str(), pos);
        if (!fetch(pos, pkgformat::kChunkRecordBytes, field)) return unread(pos);
        std::uint32_t compressed = GetU32(field);
        std::uint32_t uncompressed = GetU32(field + 4);
        total += uncompressed;
        if (total > std::numeric_limits<std::uint32_t>::max())
            return at((chunk + ": the total uncompressed size passes 4 GB").c_str(), pos + 4);
        if (pos + pkgformat::kChunkRecordBytes + compressed > end)
            return at((chunk + " runs past the end of the file").c_str(), pos);
        // Inside the file from here on, so the offsets fit a size_t.
        chunks.push_back(ChunkRecord{static_cast<std::size_t>(pos) + pkgformat::kChunkRecordBytes, compressed,
                                     uncompressed});
        pos += pkgformat::kChunkRecordBytes + compressed;
    }
    table.chunks = std::move(chunks);
    table.total = static_cast<std::uint32_t>(total);
    table.end = static_cast<std::size_t>(pos);
    return std::string();
}

std::string PackageHeaderText(const std::uint8_t* data) {
    return std::string(reinterpret_cast<const char*>(data) + pkgformat::kHeaderTextOffset,
                       GetU16(data + pkgformat::kHeaderLengthOffset));
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
        if (options.crcs) options.crcs[i] = ChunkCrc(data, record);
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
