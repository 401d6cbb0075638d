// Finding the previous installation: the installer's own folder, the usual
// install locations on every drive, then every drive's folder tree to a fixed
// depth. Every folder looked at is logged.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/ui/afx.h"

// Two levels below each drive root (the root itself is depth 0).
constexpr int kSearchMaximumDepth = 2;
// Two minutes: scales the progress bar only; the search has no time limit.
constexpr plat::DWORD kSearchBudgetMs = 120000;

// The installation's folder, or an empty text when there is none. Moves the
// detection page's progress bar while it searches.
std::string FindPreviousInstallation();
// True when the folder holds the simulator's executable.
bool IsInstallationFolder(const std::string& folder);
// Depth-first, pre-order search of the folder's tree down to maximumDepth;
// the installation folder found, or an empty text.
std::string SearchFolderTree(const std::string& folder, afx::CProgressCtrl* bar, plat::DWORD startMs,
                             plat::DWORD budgetMs, int depth, int maximumDepth);
