#include "detect/installation_search.h"

#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "detect/detect_page.h"

namespace {

constexpr plat::DWORD kDriveListLength = 260;

// The usual install locations, appended to each drive root in this order.
constexpr const char* kFixedLocations[] = {
    "AerovinRC",
    "Program Files\\AerovinRC",
    "Program Files (x86)\\AerovinRC",
};

// The drive roots ("C:\", "D:\", ...) in the order the system lists them;
// empty when the list cannot be read or does not fit.
std::vector<std::string> DriveRoots() {
    char buffer[kDriveListLength] = {};
    plat::DWORD length = plat::LogicalDriveStrings(kDriveListLength, buffer);
    std::vector<std::string> roots;
    if (length == 0 || length > kDriveListLength) return roots;
    for (const char* root = buffer; root < buffer + kDriveListLength && *root; root += std::string(root).size() + 1)
        roots.emplace_back(root);
    return roots;
}

// Elapsed time against the budget; past the budget the value exceeds 100
// and the bar stays full.
void ShowSearchProgress(afx::CProgressCtrl* bar, plat::DWORD startMs, plat::DWORD budgetMs) {
    plat::DWORD elapsed = plat::TimeMs() - startMs;
    float share = static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(budgetMs) * 100.0);
    SetBarPosition(bar, static_cast<int>(share));
}

// The folder's subfolders in enumeration order. Every name beginning with a
// dot is left out, not only "." and "..". A folder that cannot be listed has
// none.
std::vector<std::string> ListSubfolders(const std::string& folder) {
    std::vector<std::string> subfolders;
    plat::FindData entry;
    plat::FindHandle find(plat::FindFirst(folder + "\\*.*", &entry));
    if (!find.IsValid()) return subfolders;
    do {
        if (!(entry.attrib & plat::kAttrDirectory)) continue;
        if (entry.name.empty() || entry.name[0] == '.') continue;
        // Exact equality on purpose: hidden or system folders also carry the
        // folder bit, so they are listed.
        if (entry.attrib == plat::kAttrHidden || entry.attrib == plat::kAttrSystem) continue;
        subfolders.push_back(folder + "\\" + entry.name);
    } while (plat::FindNext(find.Get(), &entry) == 0);
    return subfolders;
}

afx::CProgressCtrl* DetectionBar() { return detectPage ? &detectPage->progressBar : nullptr; }

}  // namespace

bool IsInstallationFolder(const std::string& folder) {
    LogPrintf("  Checking: %s...", folder.c_str());
    bool found = plat::PathExists(folder + "\\AerovinRC.exe") == 1;
    LogPrintf(found ? "Found\n" : "Not found\n");
    return found;
}

std::string SearchFolderTree(const std::string& folder, afx::CProgressCtrl* bar, plat::DWORD startMs,
                             plat::DWORD budgetMs, int depth, int maximumDepth) {
    LogPrintf("  Searching: %s...\n", folder.c_str());
    ShowSearchProgress(bar, startMs, budgetMs);
    // Listed before the folder's own test, so its "Searching" line comes
    // before its "Checking" line; at the last depth the list goes unused.
    std::vector<std::string> subfolders = ListSubfolders(folder);
    if (IsInstallationFolder(folder)) return folder;
    if (depth >= maximumDepth) return "";
    for (const std::string& subfolder : subfolders) {
        std::string found = SearchFolderTree(subfolder, bar, startMs, budgetMs, depth + 1, maximumDepth);
        if (!found.empty()) return found;
    }
    return "";
}

std::string FindPreviousInstallation() {
    if (IsInstallationFolder(theApp.installerFolder)) return theApp.installerFolder;
    std::vector<std::string> roots = DriveRoots();
    for (const std::string& root : roots) {
        for (const char* location : kFixedLocations) {
            std::string candidate = root + location;
            if (IsInstallationFolder(candidate)) return candidate;
        }
    }
    plat::DWORD startMs = plat::TimeMs();
    for (const std::string& root : roots) {
        std::string found = SearchFolderTree(root, DetectionBar(), startMs, kSearchBudgetMs, 0, kSearchMaximumDepth);
        if (!found.empty()) return found;
    }
    return "";
}
