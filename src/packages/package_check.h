// The walk of a package stream that applies nothing: it proves, before the
// first folder or file is written, that the whole stream can be applied
// without reading outside it or writing outside the root folders.
#pragma once

#include <string>

class CPatchwellApp;
struct PackageStream;

// The base folder of a root folder index, or nullptr for an index above 5.
const std::string* RootFolderOf(const CPatchwellApp& state, unsigned index);

// The root folder's name for the log: "installation", "user data", "start
// menu", "application data", "builder", "user builder".
const char* RootFolderName(unsigned index);

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

// Empty when every count, length and size stays inside the stream, every
// root folder index is 0 to 5, every text is
// at most 1023 bytes, every name is safe and the entries nest at most 256
// deep; else the first fault found and its stream offset.
std::string CheckPackageStream(const CPatchwellApp& state, const PackageStream& stream);
