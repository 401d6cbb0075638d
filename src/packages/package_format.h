// The layout of a package file and of its unpacked content, the package
// stream. Shared by the reader and by the writer that builds packages.
//
// Package file: leading byte, 2-byte header text length L, L bytes of header
// text, 2-byte chunk count N, then N chunk records: 4-byte compressed size c,
// 4-byte uncompressed size u, c bytes of one zlib stream. Trailing bytes are
// ignored.
//
// Package stream (the chunks' outputs joined): 2-byte root group count, then
// each group: 2-byte root folder index, 2-byte entry count, the entries. An
// entry: 1-byte kind (0 file, else folder), name text; for files a second
// text, 4-byte content size and the content; then a 2-byte child count and
// the children. A text is a 2-byte length and that many bytes.
//
// Every integer is little-endian and unsigned; nothing is aligned or padded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pkgformat {

constexpr std::size_t kHeaderLengthOffset = 1;
constexpr std::size_t kHeaderTextOffset = 3;
constexpr std::size_t kChunkRecordBytes = 8;  // c and u, before the zlib bytes

constexpr std::uint8_t kKindFile = 0;
constexpr std::uint8_t kKindFolder = 1;

// Root folder indices 0 to 5; kRootFolders (core/installer_state.h) names
// them and their installer-state fields.
constexpr unsigned kRootFolderCount = 6;
// A text is read into a 1024-byte buffer with its terminator.
constexpr std::size_t kMaxTextLength = 1023;
// Deeper than any path the ANSI file calls accept (260 characters, and each
// level adds at least a separator and one character): a package nesting
// further is hostile, and walking it would exhaust the stack.
constexpr unsigned kMaxEntryDepth = 256;

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace pkgformat
