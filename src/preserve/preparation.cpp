#include "preserve/preparation.h"

#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "preserve/settings_transfer.h"
#include "preserve/update_record.h"
#include "system/uninstall_registry.h"

namespace {

// Copies one folder beside itself with "_backup" appended. True when every
// file reached the backup.
bool BackUpFolder(const std::string& folder) {
    std::string backup = folder + "_backup";
    LogPrintf("  Copying %s to %s\n", folder.c_str(), backup.c_str());
    return CopyFolderTree(folder, backup);  // merges into an earlier backup
}

// Which folders may be deleted: a folder whose backup was asked for and did
// not complete is the only full copy of the user's files.
struct Deletable {
    bool userData = true;
    bool userBuilder = true;
};

Deletable BackUpUserData(CPatchwellApp& state) {
    Deletable deletable;
    LogPrintf("Backing-up files:\n");
    ShowStatusText(state.statusText, "Backing up files...");
    if (!state.userDataFolder.empty()) deletable.userData = BackUpFolder(state.userDataFolder);
    // The editor tool's per-user folder holds the user's own projects.
    if (!state.userBuilderFolder.empty() && plat::PathExists(state.userBuilderFolder))
        deletable.userBuilder = BackUpFolder(state.userBuilderFolder);
    LogPrintf("done\n");
    return deletable;
}

// An empty folder string is a folder that was never found: there is nothing
// to delete, and "" + "/name" would name something at the root of a drive.
void DeleteShortcut(const std::string& folder, const char* name) {
    if (folder.empty()) return;
    std::string path = folder + name;
    LogPrintf("  Deleting %s\n", path.c_str());
    DeleteOneFile(path);  // a missing shortcut is no error
}

void DeleteTree(const std::string& folder) {
    if (folder.empty()) return;
    LogPrintf("  Deleting %s\n", folder.c_str());
    DeleteFolderTree(folder);
}

void DeletePreviousFiles(CPatchwellApp& state, bool userContentSaved, const Deletable& deletable) {
    LogPrintf("Deleting previous files:\n");
    ShowStatusText(state.statusText, "Removing previous files...");
    if (!deletable.userData) {
        LogPrintf("Error: the backup of %s is not complete; the previous user data is kept there\n",
                  state.userDataFolder.c_str());
    } else if (userContentSaved) {
        DeleteTree(state.userDataFolder);
    } else {
        // Some of the user's own files did not reach the holding folder: the
        // user data is their only copy.
        LogPrintf("Error: could not save all of the user's own content; the previous user data is kept in %s\n",
                  state.userDataFolder.c_str());
    }
    DeleteTree(state.startMenuFolder);
    DeleteShortcut(state.desktopFolder, "/AerovinRC.lnk");
    DeleteShortcut(state.desktopFolder, "/Aerovin Builder.lnk");
    DeleteTree(state.builderFolder);
    if (deletable.userBuilder) {
        DeleteTree(state.userBuilderFolder);
    } else {
        LogPrintf("Error: the backup of %s is not complete; the folder is kept\n", state.userBuilderFolder.c_str());
    }
}

// A folder that can be entered is left as it is (and stays the current
// directory until the next is entered); only a missing one is created.
void RecreateBaseFolders(CPatchwellApp& state) {
    for (const std::string* folder : {&state.programFilesFolder, &state.userDataFolder, &state.appDataFolder,
                                      &state.userBuilderFolder, &state.builderFolder}) {
        if (!folder->empty() && plat::ChangeDir(*folder) != 0) CreateFolder(*folder);
    }
}

}  // namespace

void PrepareInstallation(CPatchwellApp& state) {
    LogPrintf("Starting install process:\n");
    HeldSettings held = SaveSettingsDurably(state);
    Deletable deletable;
    if (state.backupSettings) {
        if (held.completing && held.record.phase != UpdatePhase::kCaptured) {
            // The user data is no longer the user's own: the interrupted
            // update's backup holds the originals and stays as it is.
            LogPrintf("The half-updated user data is not backed up over the earlier backup\n");
        } else {
            deletable = BackUpUserData(state);
        }
    }
    if (held.recorded && held.record.phase == UpdatePhase::kCaptured) {
        // Past this point the user data may go: a later run must not back it up again.
        held.record.phase = UpdatePhase::kPrepared;
        WriteUpdateRecord(state, held.record);
    }
    DeletePreviousFiles(state, held.contentHeld, deletable);
    CleanUpRegistry();
    RecreateBaseFolders(state);
    state.SetUpFirewall();
    LogPrintf("Done\n");
}
