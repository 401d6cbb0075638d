// Text conversion of the native build: the system code page (1252) to and
// from UTF-8 and UTF-16. Defined in codepage_posix.cpp.
#pragma once

#include <string>

namespace plat::posix {

// Code page 1252 <-> UTF-8, for names crossing the seam.
std::string Utf8FromAnsi(const std::string& ansi);
std::string AnsiFromUtf8(const std::string& utf8);
// Appends one code point, UTF-8 encoded.
void AppendUtf8(std::string& out, char32_t codePoint);
// Code page 1252 <-> UTF-16, as MultiByteToWideChar and WideCharToMultiByte.
std::u16string Utf16FromAnsi(const std::string& ansi);
std::string AnsiFromUtf16(const std::u16string& wide);

}  // namespace plat::posix
