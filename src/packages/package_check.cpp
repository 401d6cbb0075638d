#include "packages/package_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/installer_state.h"
#include "core/log.h"
#include "packages/package_format.h"
#include "packages/package_reader.h"

namespace {

class StreamChecker {
public:
    StreamChecker(const CPatchwellApp& state, const PackageStream& stream)
        : state(state), bytes(stream.bytes.get()), length(stream.length) {}

    std::string Run() {
        std::uint16_t groups = 0;
        if (!ReadU16(groups, "root group count")) return fault;
        for (unsigned g = 0; g < groups; ++g) {
            std::size_t at = cursor;
            std::uint16_t index = 0, entries = 0;
            if (!ReadU16(index, "root folder index")) return fault;
            const std::string* base = RootFolderOf(state, index);
            if (!base) return Fault("root folder index " + std::to_string(index), at);
            if (!ReadU16(entries, "entry count")) return fault;
            for (unsigned e = 0; e < entries; ++e) {
                if (!CheckEntry(1)) return fault;
            }
        }
        return std::string();
    }

private:
    bool Fail(const std::string& what, std::size_t offset) {
        fault = what + " at offset " + std::to_string(offset);
        return false;
    }
    std::string Fault(const std::string& what, std::size_t offset) {
        Fail(what, offset);
        return fault;
    }
    bool Need(std::uint64_t bytesNeeded, const char* field) {
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
        value = pkgformat::GetU16(bytes + cursor);
        cursor += 2;
        return true;
    }
    bool ReadU32(std::uint32_t& value, const char* field) {
        if (!Need(4, field)) return false;
        value = pkgformat::GetU32(bytes + cursor);
        cursor += 4;
        return true;
    }
    // The text as ReadText gives it: up to its first zero byte.
    bool ReadText(const char* field, std::string& text) {
        std::size_t at = cursor;
        std::uint16_t n = 0;
        if (!ReadU16(n, field)) return false;
        if (n > pkgformat::kMaxTextLength) return Fail(std::string(field) + " of " + std::to_string(n) + " bytes", at);
        if (!Need(n, field)) return false;
        const char* start = reinterpret_cast<const char*>(bytes + cursor);
        const void* zero = n ? std::memchr(start, 0, n) : nullptr;
        text.assign(start, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - start) : n);
        cursor += n;
        return true;
    }
    bool CheckEntry(unsigned depth) {
        if (depth > pkgformat::kMaxEntryDepth)
            return Fail("entries nested deeper than " + std::to_string(pkgformat::kMaxEntryDepth), cursor);
        std::uint8_t kind = 0;
        if (!ReadU8(kind, "entry kind")) return false;
        std::size_t nameAt = cursor;
        std::string name;
        if (!ReadText("name", name)) return false;
        if (LeavesItsFolder(name)) return Fail("unsafe name \"" + PrintableText(name) + "\"", nameAt);
        std::string nameFault = EntryNameFault(name);
        if (!nameFault.empty())
            return Fail("unsafe name \"" + PrintableText(name) + "\" (" + nameFault + ")", nameAt);
        if (kind == pkgformat::kKindFile) {
            std::string ignored;
            std::uint32_t size = 0;
            if (!ReadText("second text", ignored) || !ReadU32(size, "content size")) return false;
            if (!Need(size, "content")) return false;
            cursor += size;
        }
        std::uint16_t children = 0;
        if (!ReadU16(children, "child count")) return false;
        for (unsigned k = 0; k < children; ++k) {
            if (!CheckEntry(depth + 1)) return false;
        }
        return true;
    }

    const CPatchwellApp& state;
    const std::uint8_t* bytes;
    std::size_t length;
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

const std::string* RootFolderOf(const CPatchwellApp& state, unsigned index) {
    switch (index) {
        case 0: return &state.installFolder;
        case 1: return &state.userDataFolder;
        case 2: return &state.startMenuFolder;
        case 3: return &state.appDataFolder;
        case 4: return &state.builderFolder;
        case 5: return &state.userBuilderFolder;
        default: return nullptr;
    }
}

const char* RootFolderName(unsigned index) {
    static const char* const kNames[] = {"installation", "user data", "start menu",
                                         "application data", "builder", "user builder"};
    return index < 6 ? kNames[index] : "unknown";
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

std::string CheckPackageStream(const CPatchwellApp& state, const PackageStream& stream) {
    return StreamChecker(state, stream).Run();
}
