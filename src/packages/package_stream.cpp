#include "packages/package_stream.h"

#include <cstring>

#include "core/log.h"

using pkgformat::GetU16;
using pkgformat::GetU32;

const char* RootFolderName(unsigned index) {
    return index < pkgformat::kRootFolderCount ? kRootFolders[index].logName : "unknown";
}

const std::string* RootFolderOf(const InstallerState& state, unsigned index) {
    return index < pkgformat::kRootFolderCount ? &(state.*kRootFolders[index].field) : nullptr;
}

namespace {

// Reads the stream field by field; every read is checked against the
// stream's end, and the first fault stops the walk with its offset.
class StreamReader {
public:
    StreamReader(const std::uint8_t* bytes, std::size_t length, StreamFill* fill, StreamVisitor& visitor,
                 NameRule names)
        : bytes(bytes), length(length), fill(fill), visitor(visitor), names(names) {}

    std::string Run() {
        std::uint16_t groups = 0;
        if (!ReadU16(groups, "root group count")) return fault;
        for (unsigned g = 0; g < groups; ++g) {
            std::size_t at = cursor;
            std::uint16_t index = 0, entries = 0;
            if (!ReadU16(index, "root folder index")) return fault;
            if (index >= pkgformat::kRootFolderCount) {
                Fail("root folder index " + std::to_string(index), at);
                return fault;
            }
            if (!ReadU16(entries, "entry count")) return fault;
            const bool visit = visitor.Group(index, entries);
            for (unsigned e = 0; e < entries; ++e) {
                if (!ReadEntry(1, visit)) return fault;
            }
        }
        return std::string();
    }

private:
    bool Fail(const std::string& what, std::size_t offset) {
        fault = what + " at offset " + std::to_string(offset);
        return false;
    }
    bool Need(std::uint64_t bytesNeeded, const char* field) {
        if (cursor <= length && length - cursor >= bytesNeeded) return true;
        if (fill) length = fill->FillTo(cursor + bytesNeeded);
        if (cursor <= length && length - cursor >= bytesNeeded) return true;
        return Fail(std::string(field) + " runs past the end of the stream", cursor);
    }
    bool ReadU8(std::uint8_t& value, const char* field) {
        if (!Need(1, field)) return false;
        value = bytes[cursor++];
        return true;
    }
    bool ReadU16(std::uint16_t& value, const char* field) {
        if (!Need(2, field)) return false;
        value = GetU16(bytes + cursor);
        cursor += 2;
        return true;
    }
    bool ReadU32(std::uint32_t& value, const char* field) {
        if (!Need(4, field)) return false;
        value = GetU32(bytes + cursor);
        cursor += 4;
        return true;
    }
    // A text: a 2-byte length and that many bytes, taken up to the first zero
    // byte. A text passed over keeps nothing.
    bool ReadText(const char* field, std::string* text) {
        std::size_t at = cursor;
        std::uint16_t n = 0;
        if (!ReadU16(n, field)) return false;
        if (n > pkgformat::kMaxTextLength) return Fail(std::string(field) + " of " + std::to_string(n) + " bytes", at);
        if (!Need(n, field)) return false;
        if (text) {
            const char* start = reinterpret_cast<const char*>(bytes + cursor);
            const void* zero = n ? std::memchr(start, 0, n) : nullptr;
            text->assign(start, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - start) : n);
        }
        cursor += n;
        return true;
    }
    bool CheckName(const std::string& name, std::size_t nameAt) {
        if (names == NameRule::kTrust) return true;
        if (LeavesItsFolder(name)) return Fail("unsafe name \"" + PrintableText(name) + "\"", nameAt);
        std::string nameFault = EntryNameFault(name);
        if (!nameFault.empty())
            return Fail("unsafe name \"" + PrintableText(name) + "\" (" + nameFault + ")", nameAt);
        return true;
    }
    bool ReadEntry(unsigned depth, bool visit) {
        if (depth > pkgformat::kMaxEntryDepth)
            return Fail("entries nested deeper than " + std::to_string(pkgformat::kMaxEntryDepth), cursor);
        StreamEntry entry;
        entry.depth = depth;
        std::uint8_t kind = 0;
        if (!ReadU8(kind, "entry kind")) return false;
        entry.folder = kind != pkgformat::kKindFile;
        std::size_t nameAt = cursor;
        if (!ReadText("name", &entry.name) || !CheckName(entry.name, nameAt)) return false;
        if (!entry.folder) {
            if (!ReadText("second text", nullptr) || !ReadU32(entry.size, "content size")) return false;
            if (!Need(entry.size, "content")) return false;
            entry.content = bytes + cursor;
            cursor += entry.size;
        }
        std::uint16_t children = 0;
        if (!ReadU16(children, "child count")) return false;
        entry.children = children;
        if (visit) visitor.Enter(entry);
        if (fill) fill->Passed(cursor);
        for (unsigned k = 0; k < children; ++k) {
            if (!ReadEntry(depth + 1, visit)) return false;
        }
        if (visit) visitor.Leave(entry);
        return true;
    }

    const std::uint8_t* bytes;
    std::size_t length;  // present so far, where a fill brings them
    StreamFill* fill;
    StreamVisitor& visitor;
    NameRule names;
    std::size_t cursor = 0;
    std::string fault;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDotsComponent(const std::string& component) {
    return component.find('.') != std::string::npos && component.find_first_not_of(". ") == std::string::npos;
}

// Windows opens a device for these, whatever extension follows them
// ("NUL.txt" is NUL); COM and LPT also with the superscript digits 1, 2, 3.
bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::string ComponentFault(const std::string& component) {
    for (unsigned char c : component) {
        if (c < 0x20 || c == 0x7F) return "a control character";
        if (c != 0 && std::strchr("<>:\"|?*", c)) return std::string("the character ") + static_cast<char>(c);
    }
    if (component.back() == '.') return "a name ending in a dot";
    if (component.back() == ' ') return "a name ending in a space";
    if (IsDeviceName(component)) return "a device name";
    return std::string();
}

}  // namespace

std::string WalkPackageStream(const std::uint8_t* bytes, std::size_t length, StreamVisitor& visitor,
                              NameRule names) {
    return StreamReader(bytes, length, nullptr, visitor, names).Run();
}

std::string WalkPackageStream(const std::uint8_t* bytes, StreamFill& fill, StreamVisitor& visitor,
                              NameRule names) {
    return StreamReader(bytes, 0, &fill, visitor, names).Run();
}

std::string CheckPackageStream(const PackageStream& stream) {
    StreamVisitor nothing;
    return WalkPackageStream(stream.bytes.get(), stream.length, nothing);
}

bool LeavesItsFolder(const std::string& name) {
    if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos) return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (IsDotsComponent(name.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

std::string EntryNameFault(const std::string& name) {
    if (LeavesItsFolder(name)) return "a name that leaves its folder";
    // Inner separators are allowed ("Data\\a.txt"): each component is a name.
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        // Doubled and trailing separators leave empty components, which Windows
        // passes over: "Data\\" names Data.
        std::string fault = end == start ? std::string() : ComponentFault(name.substr(start, end - start));
        if (!fault.empty()) return fault;
        start = end + 1;
    }
    return std::string();
}

bool IsSafeEntryName(const std::string& name) { return EntryNameFault(name).empty(); }
