#include "preserve/user_content.h"

#include <list>
#include <string>
#include <vector>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "preserve/durable_file.h"
#include "preserve/update_record.h"

const char* const kCapturedCopies[3] = {"/options.sim", "/controller_0.vxt", "/installedUpdates.vrx"};
const char kHoldingMark[] = "/AerovinPatchwell.holding";

namespace {

const char kHoldingFolder[] = "/AerovinTemp";

struct Move {
    const char* takenFrom;  // under userDataFolder
    const char* held;       // under the holding folder
    const char* putBack;    // under userDataFolder
};

const Move kProfiles = {"/Settings/mappingProfiles/Custom", "/profiles", "/Settings/mappingProfiles/Custom"};
// Schemes and sites come back under "/Downloaded", not where they were taken from.
const Move kSchemes = {"/Schemes", "/schemes", "/Downloaded/Schemes/User-made"};
const Move kSites = {"/Flying sites", "/sites", "/Downloaded/Sites/User-made"};
// After one update the user's schemes and sites already live in their
// "User-made" folders; a later run carries those too, or deleting the user
// data would lose them. They share the holding folders above and, copied
// last, win over an older file of the same name.
const Move kMadeSchemes = {"/Downloaded/Schemes/User-made", "/schemes", "/Downloaded/Schemes/User-made"};
const Move kMadeSites = {"/Downloaded/Sites/User-made", "/sites", "/Downloaded/Sites/User-made"};

// CopyFolderTree that leaves every file already at the destination as it is:
// the held copy of an interrupted update is the user's, the one in the user
// data may be half updated.
bool MergeFolderTree(const std::string& source, const std::string& destination) {
    if (plat::ChangeDir(source) != 0) return true;
    CreateFolder(destination);
    bool complete = true;
    std::list<std::string> files;
    FindFiles(source, "*.*", files, /*recurse*/ false, /*includeHidden*/ false, /*includeSystem*/ false,
              /*fullPaths*/ false);
    for (const std::string& name : files) {
        if (plat::PathExists(destination + "/" + name)) continue;
        complete &= CopyOneFile(source + "/" + name, destination + "/" + name, /*overwrite*/ true);
    }
    std::vector<std::string> folders;
    FindFolders(source, folders, /*recurse*/ false, /*includeHidden*/ false, /*includeSystem*/ false,
                /*fullPaths*/ false);
    for (const std::string& name : folders) {
        plat::DWORD attrib = plat::GetAttributes(source + "/" + name);
        if (attrib != plat::kInvalidAttributes && (attrib & plat::kAttrReparsePoint)) continue;
        complete &= MergeFolderTree(source + "/" + name, destination + "/" + name);
    }
    return complete;
}

bool Stash(const CPatchwellApp& state, const std::string& holding, const Move& move, bool keepHeld) {
    if (state.userDataFolder.empty()) return true;  // no user data, nothing of it to hold
    std::string source = state.userDataFolder + move.takenFrom;
    std::string destination = holding + move.held;
    return keepHeld ? MergeFolderTree(source, destination) : CopyFolderTree(source, destination);
}

bool PutBack(const CPatchwellApp& state, const std::string& holding, const Move& move) {
    if (state.userDataFolder.empty()) return plat::ChangeDir(holding + move.held) != 0;
    return CopyFolderTree(holding + move.held, state.userDataFolder + move.putBack);
}

// The last part of a path, after its last separator.
std::string LastName(const std::string& path) {
    std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string HoldingFolder(const CPatchwellApp& state) {
    if (!state.holdingFolder.empty()) return state.holdingFolder;
    if (state.documentsFolder.empty()) return std::string();
    return state.documentsFolder + kHoldingFolder;
}

bool StashUserContent(CPatchwellApp& state, bool keepHeld) {
    std::string holding = HoldingFolder(state);
    if (holding.empty()) {
        LogPrintf("Done\n");
        LogPrintf("Error: there is no folder to hold the user's own content in; the previous user data is kept\n");
        return false;
    }
    CreateFolder(holding);
    // Marks the folder as this program's before anything is held in it, so
    // that a run that ends before its record is written leaves a folder the
    // next run may use again.
    WriteFileDurably(holding + kHoldingMark, std::string());
    bool complete = Stash(state, holding, kProfiles, keepHeld);
    complete &= Stash(state, holding, kSchemes, keepHeld);
    complete &= Stash(state, holding, kSites, keepHeld);
    complete &= Stash(state, holding, kMadeSchemes, keepHeld);
    complete &= Stash(state, holding, kMadeSites, keepHeld);
    LogPrintf("Done\n");
    return complete;
}

bool RestoreUserContent(CPatchwellApp& state) {
    std::string holding = HoldingFolder(state);
    if (holding.empty()) return true;
    bool complete = PutBack(state, holding, kProfiles);
    complete &= PutBack(state, holding, kSites);
    complete &= PutBack(state, holding, kSchemes);
    if (!complete) {
        // The holding folder may be the only copy left of the user's files;
        // an update record stays too, so that the next run completes the update.
        LogPrintf("Error: could not copy back all of the user's own content; it is kept in %s\n", holding.c_str());
        return false;
    }
    // From here on everything is written back. The record says so before the
    // held copies go, and goes itself only when they are gone: a run that
    // ends in between finds a record and carries back what is left.
    UpdateRecord record;
    bool recorded = ReadUpdateRecord(state, &record) && record.holdingName == LastName(holding);
    if (recorded && record.phase != UpdatePhase::kRestored) {
        record.phase = UpdatePhase::kRestored;
        WriteUpdateRecord(state, record);
    }
    for (const char* copy : kCapturedCopies) DeleteOneFile(holding + copy);
    DeleteOneFile(holding + kHoldingMark);
    DeleteFolderTree(holding);
    if (recorded) RemoveUpdateRecord(state);
    return true;
}
