#include "preserve/preparation.h"

#include <string>

#include "core/file_ops.h"
#include "core/installer_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "preserve/settings_transfer.h"
#include "system/uninstall_registry.h"

namespace {

void BackUpUserData(CPatchwellApp& state) {
    std::string backup = state.userDataFolder + "_backup";
    LogPrintf("Backing-up files:\n");
    ShowStatusText(state.statusText, "Backing up files...");
    LogPrintf("  Copying %s to %s\n", state.userDataFolder.c_str(), backup.c_str());
    CopyFolderTree(state.userDataFolder, backup);  // merges into an earlier backup
    LogPrintf("done\n");
}

void DeleteShortcut(const std::string& path) {
    LogPrintf("  Deleting %s\n", path.c_str());
    plat::RemoveFile(path);  // a missing shortcut is no error
}

void DeletePreviousFiles(CPatchwellApp& state, bool userContentSaved) {
    LogPrintf("Deleting previous files:\n");
    ShowStatusText(state.statusText, "Removing previous files...");
    if (userContentSaved) {
        LogPrintf("  Deleting %s\n", state.userDataFolder.c_str());
        DeleteFolderTree(state.userDataFolder);
    } else {
        // Some of the user's own files did not reach the holding folder: the
        // user data is their only copy.
        LogPrintf("Error: could not save all of the user's own content; the previous user data is kept in %s\n",
                  state.userDataFolder.c_str());
    }
    LogPrintf("  Deleting %s\n", state.startMenuFolder.c_str());
    DeleteFolderTree(state.startMenuFolder);
    DeleteShortcut(state.desktopFolder + "/AerovinRC.lnk");
    DeleteShortcut(state.desktopFolder + "/Aerovin Builder.lnk");
    LogPrintf("  Deleting %s\n", state.builderFolder.c_str());
    DeleteFolderTree(state.builderFolder);
    LogPrintf("  Deleting %s\n", state.userBuilderFolder.c_str());
    DeleteFolderTree(state.userBuilderFolder);
}

// A folder that can be entered is left as it is (and stays the current
// directory until the next is entered); only a missing one is created.
void RecreateBaseFolders(CPatchwellApp& state) {
    for (const std::string* folder : {&state.programFilesFolder, &state.userDataFolder, &state.appDataFolder,
                                      &state.userBuilderFolder, &state.builderFolder}) {
        if (plat::ChangeDir(*folder) != 0) CreateFolder(*folder);
    }
}

}  // namespace

void PrepareInstallation(CPatchwellApp& state) {
    LogPrintf("Starting install process:\n");
    bool userContentSaved = SavePreviousSettings(state);
    if (state.backupSettings) BackUpUserData(state);
    DeletePreviousFiles(state, userContentSaved);
    CleanUpRegistry();
    RecreateBaseFolders(state);
    state.SetUpFirewall();
    LogPrintf("Done\n");
}
