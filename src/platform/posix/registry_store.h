// The registry of the POSIX backend: the Wine prefix's system.reg (HKLM, and
// HKCR below it) and user.reg (HKCU), read on first use and written back after
// each change. Also used by the known folders and the firewall list.
#pragma once

#include <string>

#include "platform/registry.h"

namespace plat::posix {

// Drops what was read, so that the next call reads the (new) prefix's files.
void ForgetRegistry();

// A REG_SZ or REG_EXPAND_SZ value as ANSI text, unexpanded. False when the key
// or value is missing or holds another type.
bool ReadRegistryText(RegHandle root, const std::string& path, const std::string& valueName, std::string* text);

// The same through an open key, with UTF-16 names and data, as the wide
// functions give them (for data that did not come from ANSI text).
long QueryWideText(RegHandle key, const std::u16string& valueName, std::u16string* text);
long SetWideText(RegHandle key, const std::u16string& valueName, const std::u16string& text);


}  // namespace plat::posix
