// Applying one update package to the installation.
#pragma once

class CPatchwellApp;
struct Package;

// Reads and unpacks the package, then writes its folders and files under the
// installer state's root folders. A null package is ignored. A package whose
// file or stream is unsound is skipped whole with one "ERROR: " line.
void InstallPackage(CPatchwellApp& state, Package* package);

// The bar position for the count-th entry: 50 plus a quarter of the count.
int EntryProgressPosition(unsigned count);
