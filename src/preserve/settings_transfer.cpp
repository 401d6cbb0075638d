#include "preserve/settings_transfer.h"

#include <cstdio>
#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "preserve/calibration.h"
#include "preserve/durable_file.h"
#include "preserve/options.h"
#include "preserve/sites.h"
#include "preserve/user_content.h"

namespace {

const char kOptionsFile[] = "/Settings/options.sim";
const char kSiteListFile[] = "/Settings/installedUpdates.vrx";
const char kCalibrationFile[] = "/Settings/controller_0.vxt";
const char kHoldingName[] = "AerovinTemp";

// A folder this program may hold content in: missing, empty, or one it made
// itself in a run that ended before its record was written (nothing had been
// deleted then, so the user data still holds all it holds). Anything else
// there is the user's, and is never merged into or deleted.
bool IsFreeForHolding(const std::string& folder) {
    if (!plat::PathExists(folder)) return true;
    if (plat::PathExists(folder + kHoldingMark)) return true;
    if (plat::GetAttributes(folder) == plat::kInvalidAttributes ||
        !(plat::GetAttributes(folder) & plat::kAttrDirectory))
        return false;
    plat::FindData entry;
    plat::FindHandle find(plat::FindFirst(folder + "/*.*", &entry));
    if (!find.IsValid()) return true;
    do {
        if (entry.name != "." && entry.name != "..") return false;
    } while (plat::FindNext(find.Get(), &entry) == 0);
    return true;
}

// The name of this run's holding folder in the Documents folder.
std::string ChooseHoldingName(const CPatchwellApp& state) {
    std::string usual = state.documentsFolder + "/" + kHoldingName;
    if (IsFreeForHolding(usual)) return kHoldingName;
    for (int number = 2; number < 1000; ++number) {
        std::string name = kHoldingName + std::to_string(number);
        if (!IsFreeForHolding(state.documentsFolder + "/" + name)) continue;
        LogPrintf("  %s was not made by this installer and is left as it is; the user's content is held in %s\n",
                  usual.c_str(), (state.documentsFolder + "/" + name).c_str());
        return name;
    }
    return std::string();
}

struct Captured {
    std::string options, siteList, calibration;
    bool hasOptions = false, hasSiteList = false, hasCalibration = false;
};

void CaptureFrom(CPatchwellApp& state, const std::string& folder, const char* options, const char* siteList,
                 const char* calibration, Captured* read) {
    read->hasOptions = SaveOptionsFrom(state, PathIn(folder, options), &read->options);
    read->hasSiteList = SaveInstalledSitesFrom(state, PathIn(folder, siteList), &read->siteList);
    read->hasCalibration = SaveCalibrationFrom(state, PathIn(folder, calibration), &read->calibration);
}

// Keeps the files as they were read beside the held content; a file that was
// not there leaves no copy. False when any copy could not be made durable.
bool KeepCopies(const std::string& holding, const Captured& read) {
    const std::string* bytes[] = {&read.options, &read.calibration, &read.siteList};
    const bool present[] = {read.hasOptions, read.hasCalibration, read.hasSiteList};
    bool kept = true;
    for (int i = 0; i < 3; ++i) {
        std::string copy = holding + kCapturedCopies[i];
        if (present[i])
            kept &= WriteFileDurably(copy, *bytes[i]);
        else
            DeleteOneFile(copy);
    }
    return kept;
}

}  // namespace

bool SavePreviousSettings(CPatchwellApp& state) {
    SaveOptions(state);
    SaveInstalledSites(state);
    SaveCalibration(state);
    return StashUserContent(state);
}

HeldSettings SaveSettingsDurably(CPatchwellApp& state) {
    HeldSettings held;
    held.completing = ReadUpdateRecord(state, &held.record);
    if (held.completing) {
        LogPrintf("Completing an interrupted update of version %s\n", held.record.version.c_str());
        state.holdingFolder = state.documentsFolder + "/" + held.record.holdingName;
    } else if (!state.documentsFolder.empty()) {
        std::string name = ChooseHoldingName(state);
        state.holdingFolder = name.empty() ? std::string() : state.documentsFolder + "/" + name;
        held.record.holdingName = name;
        char version[32];
        std::snprintf(version, sizeof version, "%d.%d.%c", static_cast<int>(state.installedVersion.major),
                      static_cast<int>(state.installedVersion.minor), state.installedVersion.letter);
        held.record.version = version;
        held.record.phase = UpdatePhase::kCaptured;
    }
    std::string holding = state.holdingFolder;
    Captured read;
    if (held.completing && held.record.phase != UpdatePhase::kRestored) {
        // The user data may be half updated: what was captured before is in
        // the holding folder, as it was read then.
        CaptureFrom(state, holding, kCapturedCopies[0], kCapturedCopies[2], kCapturedCopies[1], &read);
        held.contentHeld = StashUserContent(state, /*keepHeld*/ true);
        held.recorded = true;
        return held;
    }
    // A first capture, or one after everything had been written back (the
    // user data is then the finished update's).
    CaptureFrom(state, state.userDataFolder, kOptionsFile, kSiteListFile, kCalibrationFile, &read);
    if (holding.empty()) {
        // Nowhere to hold anything: the user data must stay where it is.
        LogPrintf("Done\n");
        LogPrintf("Error: there is no folder to hold the user's own content in; the previous user data is kept\n");
        return held;
    }
    held.contentHeld = StashUserContent(state, /*keepHeld*/ held.completing);
    if (held.completing) held.record.phase = UpdatePhase::kPrepared;  // the backup is behind it
    if (KeepCopies(holding, read) && WriteUpdateRecord(state, held.record)) {
        held.recorded = true;
    } else {
        LogPrintf("Error: could not keep the captured settings in %s; an interruption from here on loses them\n",
                  holding.c_str());
    }
    return held;
}

void RestorePreviousSettings(CPatchwellApp& state) {
    RestoreOptions(state);
    WriteInstalledList(state);
    RestoreCalibration(state);
    RestoreUserContent(state);
}
