// Finding the update packages beside the installer and putting them in order.
#pragma once

#include <string>

#include "platform/ui/afx.h"

// The installing page's one-shot timer (250 ms): finds, orders and registers
// the packages, or leads to the failure page when none is usable.
void DiscoverPackages(afx::HWND window, afx::UINT message, afx::UINT_PTR timerId, afx::DWORD time);
// The part of path from its first character (or, with dropFolder, the one
// after the last separator) to its last (or, with dropExtension, the one
// before the last ".").
std::string TrimPath(const std::string& path, bool dropFolder, bool dropExtension);
