// Finding the update packages beside the installer and putting them in order.
#pragma once

#include <list>
#include <string>

#include "platform/ui/afx.h"

class CPatchwellApp;

// The installing page's one-shot timer (250 ms): stops the timer, then
// registers the packages of theApp.
void DiscoverPackages(afx::HWND window, afx::UINT message, afx::UINT_PTR timerId, afx::DWORD time);
// Finds, orders and registers the packages in state.installerFolder, and sets
// installRequested; with no usable package, leads to the failure page.
void RegisterPackages(CPatchwellApp& state);
// The paths by order digit (1 to 9), then those without one; each group in
// the order given.
std::list<std::string> OrderPackages(std::list<std::string> found);
// The last character before the extension, when it is 1 to 9; else 0.
int OrderDigit(const std::string& path);
// True when the name ends in ".pkg" in any letter case. The wildcard "*.pkg"
// also matches names whose generated short name ends so (update1.pkgold).
bool HasPackageExtension(const std::string& path);
// The part of path from its first character (or, with dropFolder, the one
// after the last separator) to its last (or, with dropExtension, the one
// before the last ".").
std::string TrimPath(const std::string& path, bool dropFolder, bool dropExtension);
