// The user's options carried across the update: chosen pieces of the old
// options file are cut out before the user data is removed and appended to
// the options file the packages leave behind.
#pragma once

#include <string>

class CPatchwellApp;

// Reads userDataFolder + "/Settings/options.sim" into the nine captured texts.
// A file in the layout RestoreOptions writes is read back in that layout.
void SaveOptions(CPatchwellApp& state);
// The same from the file at path; asRead (when given) receives its bytes.
// False when the file could not be opened.
bool SaveOptionsFrom(CPatchwellApp& state, const std::string& path, std::string* asRead);
// Appends the lines built from the captured texts, when they were captured.
void RestoreOptions(CPatchwellApp& state);
