// Narrow strings above the seam are code page 1252; host names are UTF-8.
#include <cstdint>
#include <string>

#include "platform/posix/codepage.h"

namespace plat::posix {
namespace {

// 0x80-0x9F of code page 1252; 0 where the code page leaves a byte undefined
// (those bytes map to the C1 control of the same value, as Windows does).
const char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CodePointOf(unsigned char c) {
    if (c >= 0x80 && c < 0xA0 && kHighControls[c - 0x80] != 0) return kHighControls[c - 0x80];
    return c;
}


char AnsiOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == cp || (kHighControls[i] == 0 && cp == char32_t(0x80 + i)))
            return static_cast<char>(0x80 + i);
    }
    return '?';  // no equivalent in the code page, as WideCharToMultiByte's default
}

}  // namespace

std::u16string Utf16FromAnsi(const std::string& ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi) out += static_cast<char16_t>(CodePointOf(c));
    return out;
}

std::string AnsiFromUtf16(const std::u16string& wide) {
    std::string out;
    out.reserve(wide.size());
    for (char16_t unit : wide) out += AnsiOf(unit);
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf8FromAnsi(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi) AppendUtf8(out, CodePointOf(c));
    return out;
}

std::string AnsiFromUtf8(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out += '?';
            ++i;
            continue;
        }
        if (i + extra >= utf8.size() && extra > 0) {
            out += '?';
            break;
        }
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += AnsiOf(cp);
        i += extra + 1;
    }
    return out;
}

}  // namespace plat::posix
