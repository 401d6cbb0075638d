#include "packages/package_discovery.h"

#include <memory>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "core/step_machine.h"
#include "platform/platform.h"
#include "ui/wizard_pages.h"

namespace {

// Tests that the file opens and is not empty; its bytes are read later.
bool IsUsablePackage(const std::string& path) {
    plat::StreamHolder file(plat::OpenStream(path, "rb"));
    if (!file) {
        LogPrintf("Error: File not opened\n");
        return false;
    }
    if (plat::StreamLength(file.Get()) == 0) {
        file.Close();
        LogPrintf("Error: File has no size\n");
        return false;
    }
    return true;
}

}  // namespace

std::string TrimPath(const std::string& path, bool dropFolder, bool dropExtension) {
    if (path.empty()) return std::string();
    std::size_t end = path.size() - 1;  // inclusive
    if (dropExtension) {
        std::size_t dot = path.rfind('.');
        if (dot != std::string::npos) {
            if (dot == 0) return std::string();
            end = dot - 1;
        }
    }
    std::size_t start = 0;
    if (dropFolder) {
        std::size_t separator = path.find_last_of("/\\");
        if (separator != std::string::npos) start = separator + 1;
    }
    if (start > end) return std::string();
    return path.substr(start, end - start + 1);
}

int OrderDigit(const std::string& path) {
    std::string stem = TrimPath(path, /*dropFolder*/ false, /*dropExtension*/ true);
    if (stem.empty()) return 0;
    char last = stem.back();
    return (last >= '1' && last <= '9') ? last - '0' : 0;
}

bool HasPackageExtension(const std::string& path) {
    static const char kExtension[] = ".pkg";
    if (path.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        char c = path[path.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

std::list<std::string> OrderPackages(std::list<std::string> found) {
    std::list<std::string> ordered;
    for (int digit = 1; digit <= 9; ++digit) {
        for (auto it = found.begin(); it != found.end();) {
            if (OrderDigit(*it) == digit) {
                ordered.push_back(*it);
                it = found.erase(it);
            } else {
                ++it;
            }
        }
    }
    ordered.splice(ordered.end(), found);
    return ordered;
}

void RegisterPackages(CPatchwellApp& state) {
    std::list<std::string> found;
    FindFiles(state.installerFolder, "*.pkg", found, /*recurse*/ false, /*includeHidden*/ false,
              /*includeSystem*/ false, /*fullPaths*/ true);
    found.remove_if([](const std::string& path) { return !HasPackageExtension(path); });
    LogPrintf("Packages found:\n");
    for (const std::string& path : found) LogPrintf("  %s\n", path.c_str());

    std::list<std::string> ordered = OrderPackages(std::move(found));
    LogPrintf("Reading packages:\n");
    for (const std::string& path : ordered) {
        LogPrintf("  %s...", path.c_str());
        if (!IsUsablePackage(path)) continue;
        auto package = std::make_unique<Package>();
        package->path = path;
        package->name = path;
        state.packages.push_back(std::move(package));
        LogPrintf("Done\n");
    }

    if (!state.packages.empty()) {
        LogPrintf("%d updates\n", static_cast<int>(state.packages.size()));
        state.installRequested = true;
    } else {
        LogPrintf("No downloads found\n");
        state.failureReason = "Did not find any updates to download - V5 may already be installed.";
        SwitchStep(stepFailed, state);
    }
}

void DiscoverPackages(afx::HWND window, afx::UINT, afx::UINT_PTR timerId, afx::DWORD) {
    if (installingPage)
        installingPage->KillTimer(timerId);
    else
        afx::KillTimer(window, timerId);
    RegisterPackages(theApp);
}
