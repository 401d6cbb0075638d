#include "preserve/user_content.h"

#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"

namespace {

const char kHoldingFolder[] = "/AerovinTemp";

struct Move {
    const char* takenFrom;  // under userDataFolder
    const char* held;       // under documentsFolder
    const char* putBack;    // under userDataFolder
};

const Move kProfiles = {"/Settings/mappingProfiles/Custom", "/AerovinTemp/profiles",
                        "/Settings/mappingProfiles/Custom"};
// Schemes and sites come back under "/Downloaded", not where they were taken from.
const Move kSchemes = {"/Schemes", "/AerovinTemp/schemes", "/Downloaded/Schemes/User-made"};
const Move kSites = {"/Flying sites", "/AerovinTemp/sites", "/Downloaded/Sites/User-made"};
// After one update the user's schemes and sites already live in their
// "User-made" folders; a later run carries those too, or deleting the user
// data would lose them. They share the holding folders above and, copied
// last, win over an older file of the same name.
const Move kMadeSchemes = {"/Downloaded/Schemes/User-made", "/AerovinTemp/schemes", "/Downloaded/Schemes/User-made"};
const Move kMadeSites = {"/Downloaded/Sites/User-made", "/AerovinTemp/sites", "/Downloaded/Sites/User-made"};

bool Stash(const CPatchwellApp& state, const Move& move) {
    return CopyFolderTree(state.userDataFolder + move.takenFrom, state.documentsFolder + move.held);
}

bool PutBack(const CPatchwellApp& state, const Move& move) {
    return CopyFolderTree(state.documentsFolder + move.held, state.userDataFolder + move.putBack);
}

}  // namespace

bool StashUserContent(CPatchwellApp& state) {
    CreateFolder(state.documentsFolder + kHoldingFolder);
    bool complete = Stash(state, kProfiles);
    complete &= Stash(state, kSchemes);
    complete &= Stash(state, kSites);
    complete &= Stash(state, kMadeSchemes);
    complete &= Stash(state, kMadeSites);
    LogPrintf("Done\n");
    return complete;
}

void RestoreUserContent(CPatchwellApp& state) {
    bool complete = PutBack(state, kProfiles);
    complete &= PutBack(state, kSites);
    complete &= PutBack(state, kSchemes);
    std::string holding = state.documentsFolder + kHoldingFolder;
    if (!complete) {
        // The holding folder may be the only copy left of the user's files.
        LogPrintf("Error: could not copy back all of the user's own content; it is kept in %s\n", holding.c_str());
        return;
    }
    DeleteFolderTree(holding);
}
