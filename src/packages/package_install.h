// Applying one update package to the installation.
#pragma once

class CPatchwellApp;
struct Package;

// Reads and unpacks the package, then writes its folders and files under the
// installer state's root folders. A null package is ignored.
void InstallPackage(CPatchwellApp& state, Package* package);
