// Files that must survive the end of the process at any moment: read whole,
// and written so that the file holds either its old or its new bytes.
#pragma once

#include <string>

// Joins a name to a folder; empty when the folder is empty (a missing folder
// has no files, and "" + "/name" would name a file at the root of a drive).
std::string PathIn(const std::string& folder, const char* name);
// The file's bytes, as they are on disk ("rb"). False when it cannot be opened.
bool ReadRawFile(const std::string& path, std::string* bytes);
// The bytes as a text-mode read sees them: CR LF as LF, CTRL+Z ends the text.
std::string TextModeView(const std::string& bytes);
// Writes path + ".new", commits it to the disk, then moves it over path (the
// move reaches the disk with the folder that holds it). Logs nothing; false
// when any step failed, and path is then left as it was.
bool WriteFileDurably(const std::string& path, const std::string& bytes);
