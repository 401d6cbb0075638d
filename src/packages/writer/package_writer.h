// Builds package files: for the tests, the fuzz target, the benchmark and the
// command-line tools. The installer itself only reads packages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pkgwriter {

// Little-endian fields, back to back, for building streams by hand.
class ByteWriter {
public:
    ByteWriter& U8(std::uint8_t value);
    ByteWriter& U16(std::uint16_t value);
    ByteWriter& U32(std::uint32_t value);
    // A text: 2-byte length, then the bytes (the length is cut to 16 bits).
    ByteWriter& Text(const std::string& text);
    ByteWriter& Bytes(const std::string& bytes);
    const std::string& Data() const { return data; }
    std::string& Data() { return data; }

private:
    std::string data;
};

struct Entry {
    bool folder = false;
    std::string name;
    std::string secondText;  // files only; never interpreted
    std::string content;     // files only
    std::vector<Entry> children;
    // Overrides for hostile packages: what the fields claim, not what follows.
    std::optional<std::uint8_t> kind;
    std::optional<std::uint32_t> contentSize;
    std::optional<std::uint16_t> childCount;
};

Entry Folder(const std::string& name, std::vector<Entry> children = {});
Entry File(const std::string& name, const std::string& content, std::vector<Entry> children = {});

struct RootGroup {
    RootGroup(std::uint16_t rootIndex, std::vector<Entry> entries, std::optional<std::uint16_t> entryCount = {})
        : rootIndex(rootIndex), entries(std::move(entries)), entryCount(entryCount) {}
    std::uint16_t rootIndex;  // 0 install, 1 user data, 2 Start menu, 3 app data, 4 builder, 5 user builder
    std::vector<Entry> entries;
    std::optional<std::uint16_t> entryCount;  // what the group claims
};

// The package stream of the groups.
std::string BuildStream(const std::vector<RootGroup>& groups);
void AppendEntry(std::string& stream, const Entry& entry);

enum class Corruption {
    kNone,
    kBadHeader,    // the zlib header fails its check: nothing is produced
    kBadChecksum,  // everything is produced, then the Adler-32 check fails
    kCutShort,     // the zlib stream loses its second half
};

struct ChunkTweak {
    Corruption corruption = Corruption::kNone;
    std::int64_t uncompressedExtra = 0;  // added to the stored u (overstated or understated)
    std::int64_t compressedExtra = 0;    // added to the stored c, the bytes stay as they are
};

struct Options {
    int level = 6;                     // zlib level, 0 to 9
    std::vector<std::size_t> splitAt;  // stream offsets where a new chunk starts
    std::size_t chunkSize = 0;         // or: a new chunk every chunkSize bytes (0: one chunk)
    std::uint8_t leadingByte = 0;
    std::string headerText;
    std::map<std::size_t, ChunkTweak> tweaks;  // by chunk index
    std::optional<std::uint16_t> chunkCount;   // what the file claims
    std::optional<std::size_t> truncateTo;     // the file cut to this many bytes
    std::string trailing;                      // bytes after the last chunk
};

Options SplitAt(std::vector<std::size_t> offsets);

// A package file holding the stream in chunks.
std::string BuildPackageFile(const std::string& stream, const Options& options = {});
std::string BuildPackage(const std::vector<RootGroup>& groups, const Options& options = {});

// Writes a package file chunk by chunk, for streams too large to hold twice:
// the caller gives the stream in pieces, each piece becoming one chunk.
class ChunkedPackageWriter {
public:
    explicit ChunkedPackageWriter(int level, std::uint8_t leadingByte = 0, const std::string& headerText = "");
    void AddChunk(const std::uint8_t* bytes, std::size_t length);
    // The whole file; chunks must all be added first.
    std::string Finish();

private:
    int level;
    std::string head;
    std::vector<std::string> chunks;
};

}  // namespace pkgwriter
