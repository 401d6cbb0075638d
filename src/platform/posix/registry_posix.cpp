// The registry on a Wine prefix, kept in Wine's own files.
//
// HKEY_LOCAL_MACHINE is system.reg, HKEY_CURRENT_USER is user.reg, and
// HKEY_CLASSES_ROOT is HKLM\Software\Classes, as Wine keeps them. Each file is
// read on first use. After every call that changes it, the whole file is
// written anew into a temporary file in the prefix, flushed to disk and renamed
// over the old one. Key blocks and values the program did not touch are
// written back exactly as they were read; the keys it changed are written the
// way the wineserver writes them (sorted, escaped, with the change's time).
//
// The installer is a 32-bit program: on a 64-bit prefix it sees HKLM\Software
// through Wine's redirection to HKLM\Software\Wow6432Node. Naming
// Software\Wow6432Node itself reaches the same keys; Software\Classes (and so
// HKCR) and everything outside Software are shared. A 32-bit prefix
// redirects nothing.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/unique_fd.h"
#include "platform/system_backend.h"

namespace plat::posix {
namespace {

constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorBadPathname = 161;
constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ull;
constexpr std::uint64_t kTicksPerSecond = 10000000ull;

// ---- Text: code page 1252 <-> UTF-16 ----

std::u16string WideFromAnsi(const std::string& ansi) { return Utf16FromAnsi(ansi); }
std::string AnsiFromWide(const std::u16string& wide) { return AnsiFromUtf16(wide); }

char16_t LowerUnit(char16_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    return c;
}

// Wine orders keys and values by their lower-cased names, then by length.
int CompareNames(const std::u16string& a, const std::u16string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = LowerUnit(a[i]), y = LowerUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string BytesOf(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string UnitsOf(const std::string& bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

bool IsStringType(DWORD type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// ---- The tree ----

struct Value {
    std::u16string name;  // empty: the default value "@"
    DWORD type = kRegNone;
    std::string data;     // the stored bytes (strings as UTF-16)
    std::string raw;      // the lines read from the file; empty once changed
};

struct Key {
    std::u16string name;
    Key* parent = nullptr;
    std::vector<std::shared_ptr<Key>> subkeys;  // in Wine's order
    std::vector<Value> values;                  // in Wine's order
    std::vector<std::string> options;           // "#class=", "#link" and unknown lines, as read
    std::string rawBlock;                       // the whole block as read
    bool hasClass = false;
    bool isLink = false;
    bool dirty = false;  // the block must be written anew
    bool deleted = false;
    std::uint64_t modified = 0;  // 100 ns since 1601
};

struct Hive {
    std::string fileName;  // "system.reg" or "user.reg"
    std::string rootName;  // for the header of a new file
    bool loaded = false;
    std::string header;
    std::shared_ptr<Key> root;
};

struct OpenKey {
    Hive* hive;
    std::shared_ptr<Key> key;
};

struct Registry {
    std::string prefix;
    Hive machine{"system.reg", "REGISTRY\\\\Machine", false, "", nullptr};
    Hive user{"user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", false, "", nullptr};
    std::map<RegHandle, OpenKey> handles;
    RegHandle nextHandle = 0x1000;
};

Registry& State() {
    static Registry registry;
    return registry;
}

std::uint64_t Now() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
    return kTicks1601To1970 + static_cast<std::uint64_t>(ticks);
}

void Touch(Key* key) {
    key->dirty = true;
    key->modified = Now();
}

Key* FindSubkey(const Key* key, const std::u16string& name) {
    for (const auto& sub : key->subkeys)
        if (CompareNames(sub->name, name) == 0) return sub.get();
    return nullptr;
}

Key* AddSubkey(Key* key, const std::u16string& name) {
    auto sub = std::make_shared<Key>();
    sub->name = name;
    sub->parent = key;
    sub->modified = Now();
    auto at = std::find_if(key->subkeys.begin(), key->subkeys.end(),
                           [&](const std::shared_ptr<Key>& other) { return CompareNames(other->name, name) > 0; });
    return key->subkeys.insert(at, sub)->get();
}

Value* FindValue(Key* key, const std::u16string& name) {
    for (Value& value : key->values)
        if (CompareNames(value.name, name) == 0) return &value;
    return nullptr;
}

// ---- Reading Wine's text ----

// Reads an escaped string up to the closing delimiter (Wine's parse_strW).
// pos is just past the opening delimiter and ends just past the closing one.
bool ParseEscaped(const std::string& text, std::size_t& pos, char close, std::u16string* out) {
    out->clear();
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == close) return true;
        if (c != '\\') {
            // Wine writes pure ASCII; a hand-written file may hold UTF-8.
            unsigned char lead = static_cast<unsigned char>(c);
            char32_t cp = lead;
            int extra = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
            if (extra) cp = lead & (0x3F >> extra);
            for (int k = 0; k < extra && pos < text.size(); ++k) cp = (cp << 6) | (text[pos++] & 0x3F);
            *out += static_cast<char16_t>(cp);
            continue;
        }
        if (pos >= text.size()) return false;
        c = text[pos++];
        switch (c) {
            case 'a': *out += u'\a'; break;
            case 'b': *out += u'\b'; break;
            case 'e': *out += char16_t(27); break;
            case 'f': *out += u'\f'; break;
            case 'n': *out += u'\n'; break;
            case 'r': *out += u'\r'; break;
            case 't': *out += u'\t'; break;
            case 'v': *out += u'\v'; break;
            case 'x': {
                unsigned value = 0;
                int digits = 0;
                while (digits < 4 && pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos]))) {
                    value = value * 16 + static_cast<unsigned>(std::stoi(std::string(1, text[pos]), nullptr, 16));
                    ++pos;
                    ++digits;
                }
                *out += static_cast<char16_t>(value);
                break;
            }
            default:
                if (c >= '0' && c <= '7') {
                    unsigned value = static_cast<unsigned>(c - '0');
                    for (int digits = 1; digits < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7';
                         ++digits)
                        value = value * 8 + static_cast<unsigned>(text[pos++] - '0');
                    *out += static_cast<char16_t>(value);
                } else {
                    *out += static_cast<char16_t>(static_cast<unsigned char>(c));
                }
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::size_t pos, std::string* out) {
    out->clear();
    while (pos < text.size()) {
        char c = text[pos];
        if (c == ',' || c == ' ' || c == '\t' || c == '\\' || c == '\n' || c == '\r') {
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size() || !std::isxdigit(static_cast<unsigned char>(c)) ||
            !std::isxdigit(static_cast<unsigned char>(text[pos + 1])))
            return false;
        out->push_back(static_cast<char>(std::stoi(text.substr(pos, 2), nullptr, 16)));
        pos += 2;
    }
    return true;
}

// One value line (continuation lines already joined). False when it is not one.
bool ParseValue(const std::string& line, Value* value) {
    std::size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
        value->name.clear();
        pos = 2;
    } else if (!line.empty() && line[0] == '"') {
        pos = 1;
        if (!ParseEscaped(line, pos, '"', &value->name)) return false;
        if (pos >= line.size() || line[pos] != '=') return false;
        ++pos;
    } else {
        return false;
    }
    std::string rest = line.substr(pos);
    if (!rest.empty() && rest[0] == '"') {
        std::size_t at = 1;
        std::u16string text;
        if (!ParseEscaped(rest, at, '"', &text)) return false;
        value->type = kRegSz;
        value->data = BytesOf(text + u'\0');
        return true;
    }
    if (rest.compare(0, 4, "str(") == 0) {
        std::size_t close = rest.find("):\"");
        if (close == std::string::npos) return false;
        value->type = static_cast<DWORD>(std::stoul(rest.substr(4, close - 4), nullptr, 16));
        std::size_t at = close + 3;
        std::u16string text;
        if (!ParseEscaped(rest, at, '"', &text)) return false;
        value->data = BytesOf(text + u'\0');
        return true;
    }
    if (rest.compare(0, 6, "dword:") == 0) {
        std::uint32_t number = static_cast<std::uint32_t>(std::stoul(rest.substr(6, 8), nullptr, 16));
        value->type = kRegDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i) value->data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    if (rest.compare(0, 4, "hex:") == 0) {
        value->type = kRegBinary;
        return ParseHexBytes(rest, 4, &value->data);
    }
    if (rest.compare(0, 4, "hex(") == 0) {
        std::size_t close = rest.find("):");
        if (close == std::string::npos) return false;
        value->type = static_cast<DWORD>(std::stoul(rest.substr(4, close - 4), nullptr, 16));
        return ParseHexBytes(rest, close + 2, &value->data);
    }
    return false;
}

std::vector<std::u16string> SplitKeyPath(const std::u16string& path) {
    std::vector<std::u16string> names;
    std::u16string name;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty()) names.push_back(name);
    return names;
}

Key* WalkOrCreate(Key* root, const std::vector<std::u16string>& names) {
    Key* key = root;
    for (const std::u16string& name : names) {
        Key* sub = FindSubkey(key, name);
        key = sub ? sub : AddSubkey(key, name);
    }
    return key;
}

// One key block: its lines from "[" up to the last non-empty line.
void LoadBlock(Hive* hive, const std::vector<std::string>& lines) {
    const std::string& head = lines.front();
    std::size_t pos = 1;
    std::u16string path;
    if (!ParseEscaped(head, pos, ']', &path)) return;
    Key* key = WalkOrCreate(hive->root.get(), SplitKeyPath(path));
    std::string block;
    for (const std::string& line : lines) block += line + "\n";
    key->rawBlock = block;
    key->modified = Now();
    if (pos < head.size()) {
        unsigned long long seconds = std::strtoull(head.c_str() + pos, nullptr, 10);
        key->modified = kTicks1601To1970 + seconds * kTicksPerSecond;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string line = lines[i];
        std::string raw = line + "\n";
        while (!line.empty() && line.back() == '\\' && i + 1 < lines.size() && line[0] != '#') {
            line.pop_back();
            std::string next = lines[++i];
            raw += next + "\n";
            line += next.substr(next.find_first_not_of(" \t") == std::string::npos ? next.size()
                                                                                    : next.find_first_not_of(" \t"));
        }
        if (line.compare(0, 6, "#time=") == 0) {
            key->modified = std::strtoull(line.c_str() + 6, nullptr, 16);
            continue;
        }
        if (!line.empty() && line[0] == '#') {
            if (line.compare(0, 7, "#class=") == 0) key->hasClass = true;
            if (line == "#link") key->isLink = true;
            key->options.push_back(raw);
            continue;
        }
        Value value;
        if (!ParseValue(line, &value)) {
            key->options.push_back(raw);
            continue;
        }
        value.raw = raw;
        if (Value* same = FindValue(key, value.name)) {
            *same = value;
        } else {
            key->values.push_back(value);
        }
    }
}

void Load(Hive* hive) {
    hive->loaded = true;
    hive->root = std::make_shared<Key>();
    hive->header.clear();
    std::ifstream in(PrefixFolder() + "/" + hive->fileName, std::ios::binary);
    if (!in) return;
    std::vector<std::string> block;
    bool inHeader = true;
    std::string line;
    std::string pendingBlank;
    auto flush = [&]() {
        if (!block.empty()) LoadBlock(hive, block);
        block.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            flush();
            inHeader = false;
            block.push_back(line);
            continue;
        }
        if (inHeader) {
            hive->header += line + "\n";
            continue;
        }
        if (line.empty()) continue;
        if (!block.empty()) block.push_back(line);
    }
    flush();
    // Each block is written after an empty line, the header's last one included.
    if (hive->header.size() >= 2 && hive->header.compare(hive->header.size() - 2, 2, "\n\n") == 0)
        hive->header.pop_back();
}

// ---- Writing Wine's text ----

std::string EscapedText(const std::u16string& text, const char* escape) {
    static const char kEscapes[33] = ".......abtnvfr.............e....";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool hasNext = i + 1 < text.size();
        char16_t next = hasNext ? text[i + 1] : 0;
        char buffer[16];
        if (c > 127) {
            bool hexNext = hasNext && next < 128 && std::isxdigit(static_cast<int>(next));
            std::snprintf(buffer, sizeof buffer, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buffer;
        } else if (c < 32) {
            if (c == 0 && !hasNext) continue;
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                bool octalNext = hasNext && next >= '0' && next <= '7';
                std::snprintf(buffer, sizeof buffer, octalNext ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += buffer;
            }
        } else {
            if (c == '\\' || c == static_cast<unsigned char>(escape[0]) || c == static_cast<unsigned char>(escape[1]))
                out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ValueText(const Value& value) {
    std::string out = value.name.empty() ? "@=" : "\"" + EscapedText(value.name, "\"\"") + "\"=";
    std::size_t count = out.size();
    std::u16string units = UnitsOf(value.data);
    bool wholeString = IsStringType(value.type) && value.data.size() >= 2 && value.data.size() % 2 == 0 &&
                       units.back() == 0;
    if (wholeString) {
        if (value.type != kRegSz) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "str(%x):", static_cast<unsigned>(value.type));
            out += buffer;
        }
        return out + "\"" + EscapedText(units, "\"\"") + "\"\n";
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "dword:%08x\n", number);
        return out + buffer;
    }
    char buffer[16];
    if (value.type == kRegBinary) {
        std::snprintf(buffer, sizeof buffer, "hex:");
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
    }
    out += buffer;
    count += std::strlen(buffer);
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(value.data[i]));
        out += buffer;
        count += 2;
        if (i + 1 < value.data.size()) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    return out + "\n";
}

std::string KeyPathText(const Key* key) {
    if (!key->parent || !key->parent->parent) return EscapedText(key->name, "[]");
    return KeyPathText(key->parent) + "\\\\" + EscapedText(key->name, "[]");
}

std::string BlockText(const Key* key) {
    if (!key->dirty && !key->rawBlock.empty()) return key->rawBlock;
    char buffer[64];
    unsigned seconds = static_cast<unsigned>((key->modified - kTicks1601To1970) / kTicksPerSecond);
    std::string out = "[" + KeyPathText(key) + "] " + std::to_string(seconds) + "\n";
    std::snprintf(buffer, sizeof buffer, "#time=%x%08x\n", static_cast<unsigned>(key->modified >> 32),
                  static_cast<unsigned>(key->modified & 0xFFFFFFFFu));
    out += buffer;
    for (const std::string& option : key->options) out += option;
    for (const Value& value : key->values) out += value.raw.empty() ? ValueText(value) : value.raw;
    return out;
}

// Wine writes a key's block when it has values, no subkeys, a class or is a
// link; a key with only subkeys is implied by theirs.
void AppendBlocks(const Key* key, std::string* out) {
    if (key->parent &&
        (!key->values.empty() || key->subkeys.empty() || key->hasClass || key->isLink)) {
        *out += "\n";
        *out += BlockText(key);
    }
    for (const auto& sub : key->subkeys) AppendBlocks(sub.get(), out);
}

void MarkClean(Key* key) {
    if (key->parent && key->dirty) {
        key->rawBlock = BlockText(key);
        key->dirty = false;
        for (Value& value : key->values)
            if (value.raw.empty()) value.raw = ValueText(value);
    }
    for (auto& sub : key->subkeys) MarkClean(sub.get());
}

// 0, or the Windows error of the failed write.
long Save(Hive* hive) {
    if (hive->header.empty()) {
        hive->header = "WINE REGISTRY Version 2\n;; All keys relative to " + hive->rootName + "\n\n#arch=" +
                       (Is64BitMachine() ? "win64" : "win32") + "\n";
    }
    std::string text = hive->header;
    AppendBlocks(hive->root.get(), &text);
    std::string target = PrefixFolder() + "/" + hive->fileName;
    std::string temporary = target + ".pwtmp";
    UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return kRegAccessDenied;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd.Get(), text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool written = done == text.size() && fsync(fd.Get()) == 0;
    written = fd.Close() == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return errno == ENOSPC ? static_cast<long>(kErrorDiskFull) : kRegAccessDenied;
    }
    MarkClean(hive->root.get());
    return 0;
}

// ---- Paths and the 32-bit view ----

bool SameName(const std::u16string& a, const char16_t* b) { return CompareNames(a, b) == 0; }

// The path a 32-bit process reaches when it names `names` below HKLM.
std::vector<std::u16string> ThirtyTwoBitView(std::vector<std::u16string> names) {
    if (!Is64BitMachine() || names.empty() || !SameName(names[0], u"Software")) return names;
    if (names.size() >= 2 && SameName(names[1], u"Classes")) {
        if (names.size() >= 3 && SameName(names[2], u"Wow6432Node")) names.erase(names.begin() + 2);
        return names;
    }
    if (names.size() >= 2 && SameName(names[1], u"Wow6432Node")) {
        if (names.size() >= 3 && SameName(names[2], u"Classes")) names.erase(names.begin() + 1);
        return names;
    }
    names.insert(names.begin() + 1, u"Wow6432Node");
    return names;
}

Hive* LoadedHive(Hive* hive) {
    Registry& registry = State();
    if (registry.prefix != PrefixFolder()) {
        registry.prefix = PrefixFolder();
        registry.machine.loaded = false;
        registry.user.loaded = false;
        registry.handles.clear();
    }
    if (!hive->loaded) Load(hive);
    return hive;
}

struct Start {
    Hive* hive = nullptr;
    Key* key = nullptr;
    std::vector<std::u16string> names;  // below key
};

// Where a path names a key: the hive, the key to start from and the names
// below it, after the 32-bit view is applied. 0 or a Windows error.
long Resolve(RegHandle root, const std::string& path, Start* start) {
    if (!path.empty() && path[0] == '\\') return kErrorBadPathname;
    std::vector<std::u16string> names = SplitKeyPath(WideFromAnsi(path));
    Registry& registry = State();
    if (root == kHkeyLocalMachine || root == kHkeyClassesRoot) {
        start->hive = LoadedHive(&registry.machine);
        start->key = start->hive->root.get();
        if (root == kHkeyClassesRoot) names.insert(names.begin(), {u"Software", u"Classes"});
        start->names = ThirtyTwoBitView(names);
        return 0;
    }
    if (root == kHkeyCurrentUser) {
        start->hive = LoadedHive(&registry.user);
        start->key = start->hive->root.get();
        start->names = names;
        return 0;
    }
    LoadedHive(&registry.machine);
    auto it = registry.handles.find(root);
    if (it == registry.handles.end()) return kErrorInvalidHandle;
    if (it->second.key->deleted) return kErrorKeyDeleted;
    start->hive = it->second.hive;
    start->key = it->second.key.get();
    start->names = names;
    return 0;
}

std::shared_ptr<Key> SharedOf(Key* key) {
    if (!key->parent) return nullptr;
    for (auto& sub : key->parent->subkeys)
        if (sub.get() == key) return sub;
    return nullptr;
}

RegHandle NewHandle(Hive* hive, Key* key) {
    Registry& registry = State();
    RegHandle handle = registry.nextHandle;
    registry.nextHandle += 4;
    std::shared_ptr<Key> shared = SharedOf(key);
    if (!shared) shared = hive->root;
    registry.handles[handle] = OpenKey{hive, shared};
    return handle;
}

Key* KeyOf(RegHandle handle, Hive** hive, long* result) {
    Start start;
    *result = Resolve(handle, "", &start);
    if (*result != 0) return nullptr;
    Key* key = start.key;
    for (const std::u16string& name : start.names) {
        key = FindSubkey(key, name);
        if (!key) {
            *result = kRegFileNotFound;
            return nullptr;
        }
    }
    if (hive) *hive = start.hive;
    return key;
}

void MarkDeleted(Key* key) {
    key->deleted = true;
    for (auto& sub : key->subkeys) MarkDeleted(sub.get());
}

}  // namespace

void ForgetRegistry() {
    Registry& registry = State();
    registry.prefix.clear();
    registry.machine.loaded = false;
    registry.user.loaded = false;
    registry.handles.clear();
}

bool ReadRegistryText(RegHandle root, const std::string& path, const std::string& valueName, std::string* text) {
    RegHandle key = 0;
    if (backend::RegOpenKey(root, path, kKeyQueryValue, &key) != 0) return false;
    DWORD type = 0;
    DWORD size = 0;
    bool found = backend::RegQueryValue(key, valueName, &type, nullptr, &size) == 0 &&
                 (type == kRegSz || type == kRegExpandSz);
    if (found) {
        std::string buffer(size, '\0');
        found = backend::RegQueryValue(key, valueName, &type, buffer.data(), &size) == 0;
        buffer.resize(std::min<std::size_t>(size, buffer.size()));
        *text = buffer.substr(0, buffer.find('\0'));
    }
    backend::RegCloseKey(key);
    return found;
}

long QueryWideText(RegHandle handle, const std::u16string& valueName, std::u16string* text) {
    long result = 0;
    Key* key = KeyOf(handle, nullptr, &result);
    if (!key) return result;
    Value* value = FindValue(key, valueName);
    if (!value) return kRegFileNotFound;
    std::u16string units = UnitsOf(value->data);
    *text = units.substr(0, units.find(u'\0'));
    return 0;
}

long SetWideText(RegHandle handle, const std::u16string& valueName, const std::u16string& text) {
    Hive* hive = nullptr;
    long result = 0;
    Key* key = KeyOf(handle, &hive, &result);
    if (!key) return result;
    Value fresh;
    fresh.name = valueName;
    fresh.type = kRegSz;
    fresh.data = BytesOf(text + u'\0');
    if (Value* value = FindValue(key, valueName)) {
        fresh.name = value->name;
        *value = fresh;
    } else {
        auto at = std::find_if(key->values.begin(), key->values.end(),
                               [&](const Value& other) { return CompareNames(other.name, valueName) > 0; });
        key->values.insert(at, fresh);
    }
    Touch(key);
    return Save(hive);
}

}  // namespace plat::posix

namespace plat::backend {

using namespace plat::posix;

long RegOpenKey(RegHandle root, const std::string& path, DWORD /*access*/, RegHandle* key) {
    *key = 0;
    Start start;
    if (long result = Resolve(root, path, &start)) return result;
    Key* found = start.key;
    for (const std::u16string& name : start.names) {
        found = FindSubkey(found, name);
        if (!found) return kRegFileNotFound;
    }
    *key = NewHandle(start.hive, found);
    return 0;
}

long RegCreateKey(RegHandle root, const std::string& path, DWORD /*access*/, RegHandle* key, DWORD* disposition) {
    *key = 0;
    Start start;
    if (long result = Resolve(root, path, &start)) return result;
    Key* found = start.key;
    bool created = false;
    for (const std::u16string& name : start.names) {
        Key* sub = FindSubkey(found, name);
        if (!sub) {
            Touch(found);
            sub = AddSubkey(found, name);
            Touch(sub);
            created = true;
        }
        found = sub;
    }
    if (disposition) *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
    if (created) {
        if (long result = Save(start.hive)) return result;
    }
    *key = NewHandle(start.hive, found);
    return 0;
}

long RegEnumKey(RegHandle handle, DWORD index, char* name, DWORD* capacity) {
    long result = 0;
    Key* key = KeyOf(handle, nullptr, &result);
    if (!key) return result;
    if (index >= key->subkeys.size()) return kErrorNoMoreItems;
    std::string text = AnsiFromWide(key->subkeys[index]->name);
    if (text.size() + 1 > *capacity) return kErrorMoreData;
    std::memcpy(name, text.c_str(), text.size() + 1);
    *capacity = static_cast<DWORD>(text.size());
    return 0;
}

long RegQueryValue(RegHandle handle, const std::string& name, DWORD* type, void* data, DWORD* size) {
    long result = 0;
    Key* key = KeyOf(handle, nullptr, &result);
    if (!key) return result;
    Value* value = FindValue(key, WideFromAnsi(name));
    if (!value) return kRegFileNotFound;
    std::string bytes = value->data;
    if (IsStringType(value->type) && bytes.size() % 2 == 0) bytes = AnsiFromWide(UnitsOf(bytes));
    if (type) *type = value->type;
    if (!size) return data ? static_cast<long>(kErrorNoAccess) : 0;  // as for a missing size
    if (data && bytes.size() > *size) {
        *size = static_cast<DWORD>(bytes.size());
        return kErrorMoreData;
    }
    if (data) std::memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<DWORD>(bytes.size());
    return 0;
}

long RegSetValue(RegHandle handle, const std::string& name, DWORD type, const void* data, DWORD size) {
    Hive* hive = nullptr;
    long result = 0;
    Key* key = KeyOf(handle, &hive, &result);
    if (!key) return result;
    std::string bytes(static_cast<const char*>(data), static_cast<const char*>(data) + (data ? size : 0));
    Value fresh;
    fresh.name = WideFromAnsi(name);
    fresh.type = type;
    if (IsStringType(type)) {
        // The ANSI call stores UTF-16; a string without its terminator gets one.
        std::u16string units = WideFromAnsi(bytes);
        if (!bytes.empty() && bytes.back() != '\0') units += u'\0';
        fresh.data = BytesOf(units);
    } else {
        fresh.data = bytes;
    }
    if (Value* value = FindValue(key, fresh.name)) {
        fresh.name = value->name;  // the name keeps its first spelling
        *value = fresh;
    } else {
        auto at = std::find_if(key->values.begin(), key->values.end(),
                               [&](const Value& other) { return CompareNames(other.name, fresh.name) > 0; });
        key->values.insert(at, fresh);
    }
    Touch(key);
    return Save(hive);
}

long RegDeleteKey(RegHandle root, const std::string& path) {
    Start start;
    if (long result = Resolve(root, path, &start)) return result;
    if (start.names.empty()) return kRegAccessDenied;
    Key* found = start.key;
    for (const std::u16string& name : start.names) {
        found = FindSubkey(found, name);
        if (!found) return kRegFileNotFound;
    }
    if (!found->subkeys.empty()) return kRegAccessDenied;
    Key* parent = found->parent;
    MarkDeleted(found);
    parent->subkeys.erase(std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                                       [&](const std::shared_ptr<Key>& sub) { return sub.get() == found; }));
    Touch(parent);
    return Save(start.hive);
}

long RegCloseKey(RegHandle key) {
    if (key == kHkeyLocalMachine || key == kHkeyCurrentUser || key == kHkeyClassesRoot) return 0;
    return State().handles.erase(key) ? 0 : kErrorInvalidHandle;
}

}  // namespace plat::backend
