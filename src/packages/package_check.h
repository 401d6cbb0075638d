// The walk of a package stream that applies nothing: it proves, before the
// first folder or file is written, that the whole stream can be applied
// without reading outside it or writing outside the root folders.
#pragma once

#include <string>

class CPatchwellApp;
struct PackageStream;

// The base folder of a root folder index, or nullptr for an index above 5.
const std::string* RootFolderOf(const CPatchwellApp& state, unsigned index);

// False for a name that would leave its parent folder: empty, starting with
// a separator, holding a drive (":"), or with a component made of dots (".",
// "..", "..."; Windows drops trailing dots and spaces, so ".. " is ".." too).
// Inner separators ("Data\\a.txt") are allowed.
bool IsSafeEntryName(const std::string& name);

// Empty when every count, length and size stays inside the stream, every
// root folder index is 0 to 5 and names a folder that is set, every text is
// at most 1023 bytes, every name is safe and the entries nest at most 256
// deep; else the first fault found and its stream offset.
std::string CheckPackageStream(const CPatchwellApp& state, const PackageStream& stream);
