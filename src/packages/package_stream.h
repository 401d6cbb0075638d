// The package stream, the chunks' outputs joined, and its one reader: every
// field of the stream is read here, by the installer's check and walk, by
// the package tool and by the fuzz targets alike. Nothing here reads or
// writes the installer state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/installer_state.h"
#include "packages/package_format.h"

static_assert(sizeof kRootFolders / sizeof kRootFolders[0] == pkgformat::kRootFolderCount);

// The unpacked content of one package; lives while the package is applied.
struct PackageStream {
    plat::LargeBuffer bytes;
    std::size_t length = 0;  // the bytes the chunks produced
};

// The root folder's name for the log, or "unknown" for an index above 5.
const char* RootFolderName(unsigned index);
// The base folder of a root folder index, or nullptr for an index above 5.
const std::string* RootFolderOf(const InstallerState& state, unsigned index);

// One entry of the stream as the reader hands it over.
struct StreamEntry {
    bool folder = false;
    std::string name;                        // up to its first zero byte
    const std::uint8_t* content = nullptr;   // a file's content, inside the stream
    std::uint32_t size = 0;                  // a file's content size
    unsigned children = 0;
    unsigned depth = 0;  // 1 for the entries of a root group
};

// What a walk of the stream does with what it reads. Every call comes in
// stream order; the entry is valid for the length of the call.
class StreamVisitor {
public:
    virtual ~StreamVisitor() = default;
    // A root group, before its entries; false passes over them unvisited.
    virtual bool Group(unsigned /*index*/, unsigned /*entries*/) { return true; }
    // An entry, before its children.
    virtual void Enter(const StreamEntry& /*entry*/) {}
    // The same entry, after its children.
    virtual void Leave(const StreamEntry& /*entry*/) {}
};

enum class NameRule {
    kCheck,  // every name must be one Windows takes as it stands
    kTrust,  // the stream passed CheckPackageStream already
};

// Where a stream's bytes come from when it is not whole in memory: the walk
// asks for them before it reads them, and says how far it has come.
class StreamFill {
public:
    virtual ~StreamFill() = default;
    // Makes the stream's bytes present up to end, or up to the stream's own
    // end where that comes first; returns how many bytes are present.
    virtual std::size_t FillTo(std::uint64_t end) = 0;
    // The walk has handed over every entry before offset and reads no byte
    // below it again.
    virtual void Passed(std::size_t offset) = 0;
};

// Reads the whole stream, handing each root group and entry to the visitor.
// Empty when every count, length and size stays inside the stream, every
// root folder index is 0 to 5, every text is at most 1023 bytes, every name
// is safe (under NameRule::kCheck) and the entries nest at most 256 deep;
// else the first fault found and its stream offset, and the walk stops there.
std::string WalkPackageStream(const std::uint8_t* bytes, std::size_t length, StreamVisitor& visitor,
                              NameRule names = NameRule::kCheck);
// The same walk over a stream whose bytes at bytes arrive as fill brings them.
std::string WalkPackageStream(const std::uint8_t* bytes, StreamFill& fill, StreamVisitor& visitor,
                              NameRule names = NameRule::kCheck);

// The walk that only checks: it proves, before the first folder or file is
// written, that the whole stream can be applied without reading outside it
// or writing outside the root folders.
std::string CheckPackageStream(const PackageStream& stream);

// True for a name that would leave its parent folder: empty, starting with a
// separator, holding a drive (":"), or with a component made of dots (".",
// "..", "..."; Windows drops trailing dots and spaces, so ".. " is ".." too).
bool LeavesItsFolder(const std::string& name);
// Empty for a name Windows takes as it stands, else what is wrong with it:
// one that leaves its folder, or a component holding a control character or
// one of <>:"|?*, ending in a dot or a space, or naming a device (CON, PRN,
// AUX, NUL, COM1-COM9, LPT1-LPT9, with or without an extension). Inner
// separators ("Data\\a.txt") are allowed.
std::string EntryNameFault(const std::string& name);
bool IsSafeEntryName(const std::string& name);
