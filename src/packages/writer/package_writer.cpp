#include "packages/writer/package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace pkgwriter {

ByteWriter& ByteWriter::U8(std::uint8_t value) {
    data += static_cast<char>(value);
    return *this;
}
ByteWriter& ByteWriter::U16(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value));
    return U8(static_cast<std::uint8_t>(value >> 8));
}
ByteWriter& ByteWriter::U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value));
    return U16(static_cast<std::uint16_t>(value >> 16));
}
ByteWriter& ByteWriter::Text(const std::string& text) {
    U16(static_cast<std::uint16_t>(text.size()));
    return Bytes(text);
}
ByteWriter& ByteWriter::Bytes(const std::string& bytes) {
    data += bytes;
    return *this;
}

Entry Folder(const std::string& name, std::vector<Entry> children) {
    Entry entry;
    entry.folder = true;
    entry.name = name;
    entry.children = std::move(children);
    return entry;
}

Entry File(const std::string& name, const std::string& content, std::vector<Entry> children) {
    Entry entry;
    entry.name = name;
    entry.content = content;
    entry.children = std::move(children);
    return entry;
}

void AppendEntry(std::string& stream, const Entry& entry) {
    ByteWriter out;
    out.U8(entry.kind.value_or(entry.folder ? 1 : 0)).Text(entry.name);
    if (!entry.folder) {
        out.Text(entry.secondText);
        out.U32(entry.contentSize.value_or(static_cast<std::uint32_t>(entry.content.size())));
        out.Bytes(entry.content);
    }
    out.U16(entry.childCount.value_or(static_cast<std::uint16_t>(entry.children.size())));
    stream += out.Data();
    for (const Entry& child : entry.children) AppendEntry(stream, child);
}

std::string BuildStream(const std::vector<RootGroup>& groups) {
    ByteWriter head;
    head.U16(static_cast<std::uint16_t>(groups.size()));
    std::string stream = head.Data();
    for (const RootGroup& group : groups) {
        ByteWriter fields;
        fields.U16(group.rootIndex).U16(group.entryCount.value_or(static_cast<std::uint16_t>(group.entries.size())));
        stream += fields.Data();
        for (const Entry& entry : group.entries) AppendEntry(stream, entry);
    }
    return stream;
}

namespace {

std::string Compress(const std::uint8_t* bytes, std::size_t length, int level) {
    uLongf capacity = compressBound(static_cast<uLong>(length));
    std::string out(capacity, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &capacity, bytes, static_cast<uLong>(length), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(capacity);
    return out;
}

void Corrupt(std::string& compressed, Corruption corruption) {
    switch (corruption) {
        case Corruption::kNone: break;
        case Corruption::kBadHeader: compressed[1] = static_cast<char>(compressed[1] ^ 0x01); break;
        case Corruption::kBadChecksum: compressed.back() = static_cast<char>(compressed.back() ^ 0xFF); break;
        case Corruption::kCutShort: compressed.resize(compressed.size() / 2); break;
    }
}

std::vector<std::size_t> ChunkStarts(std::size_t length, const Options& options) {
    std::vector<std::size_t> starts{0};
    if (options.chunkSize) {
        for (std::size_t at = options.chunkSize; at < length; at += options.chunkSize) starts.push_back(at);
    }
    for (std::size_t at : options.splitAt) starts.push_back(std::min(at, length));
    std::sort(starts.begin(), starts.end());
    return starts;
}

}  // namespace

std::string BuildPackageFile(const std::string& stream, const Options& options) {
    std::vector<std::size_t> starts = ChunkStarts(stream.size(), options);
    ByteWriter out;
    out.U8(options.leadingByte).Text(options.headerText);
    out.U16(options.chunkCount.value_or(static_cast<std::uint16_t>(starts.size())));
    for (std::size_t i = 0; i < starts.size(); ++i) {
        std::size_t end = i + 1 < starts.size() ? starts[i + 1] : stream.size();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data()) + starts[i];
        std::string compressed = Compress(bytes, end - starts[i], options.level);
        ChunkTweak tweak;
        if (auto it = options.tweaks.find(i); it != options.tweaks.end()) tweak = it->second;
        Corrupt(compressed, tweak.corruption);
        out.U32(static_cast<std::uint32_t>(static_cast<std::int64_t>(compressed.size()) + tweak.compressedExtra));
        out.U32(static_cast<std::uint32_t>(static_cast<std::int64_t>(end - starts[i]) + tweak.uncompressedExtra));
        out.Bytes(compressed);
    }
    out.Bytes(options.trailing);
    std::string file = std::move(out.Data());
    if (options.truncateTo && *options.truncateTo < file.size()) file.resize(*options.truncateTo);
    return file;
}

Options SplitAt(std::vector<std::size_t> offsets) {
    Options options;
    options.splitAt = std::move(offsets);
    return options;
}

std::string BuildPackage(const std::vector<RootGroup>& groups, const Options& options) {
    return BuildPackageFile(BuildStream(groups), options);
}

ChunkedPackageWriter::ChunkedPackageWriter(int level, std::uint8_t leadingByte, const std::string& headerText)
    : level(level) {
    ByteWriter out;
    out.U8(leadingByte).Text(headerText);
    head = out.Data();
}

void ChunkedPackageWriter::AddChunk(const std::uint8_t* bytes, std::size_t length) {
    ByteWriter record;
    std::string compressed = Compress(bytes, length, level);
    record.U32(static_cast<std::uint32_t>(compressed.size())).U32(static_cast<std::uint32_t>(length));
    chunks.push_back(record.Data() + compressed);
}

std::string ChunkedPackageWriter::Finish() {
    ByteWriter count;
    count.U16(static_cast<std::uint16_t>(chunks.size()));
    std::string file = head + count.Data();
    for (const std::string& chunk : chunks) file += chunk;
    return file;
}

}  // namespace pkgwriter
