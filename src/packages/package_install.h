// Applying one update package to the installation.
#pragma once

#include <cstddef>
#include <string>

class CPatchwellApp;
struct Package;
struct PackageStream;

// Reads and unpacks the package, then writes its folders and files under the
// installer state's root folders. A null package is ignored. A package whose
// file or stream is unsound is skipped whole with one "ERROR: " line.
void InstallPackage(CPatchwellApp& state, Package* package);

// Applies the entry at cursor under parentPath, then its children, depth
// first; leaves cursor after the entry's subtree. The stream must have passed
// CheckPackageStream.
void ApplyEntry(CPatchwellApp& state, const PackageStream& stream, std::size_t& cursor,
                const std::string& parentPath);

// The bar position for the count-th entry: 50 plus a quarter of the count.
int EntryProgressPosition(unsigned count);
