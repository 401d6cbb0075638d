#include "core/startup.h"

#include "core/installer_state.h"
#include "core/owned_folders.h"
#include "platform/platform.h"
#include "ui/dialog_layouts.h"
#include "ui/host_dialog.h"

namespace {

// The system folder, or an empty string when the query fails.
std::string QueryFolder(int csidl) {
    std::string folder;
    if (plat::FolderPath(csidl, &folder) != 0) folder.clear();
    return folder;
}

// The folder with suffix appended; empty when the folder is unknown, so that
// no later step takes a path below the drive's root for it.
std::string Below(const std::string& folder, const char* suffix) {
    return folder.empty() ? std::string() : folder + suffix;
}

}  // namespace

afx::BOOL CPatchwellApp::InitInstance() {
    afx::CWinApp::InitInstance();
    // Without a Documents folder the log is not opened, rather than put at
    // the root of the current drive; its lines are lost.
    std::string documents = QueryFolder(plat::kCsidlPersonal);
    if (!documents.empty() && PathShapeProblem(documents + "/AerovinPatchwell.log").empty())
        plat::OpenLog(documents + "/AerovinPatchwell.log");
    titleFont = std::make_unique<afx::CFont>();
    titleFont->CreateFont(-18, 0, "Arial");
    SetRegistryKey("Local AppWizard-Generated Applications");
    RegisterDialogLayouts();
    {
        CPatchwellDlg dialog(nullptr);
        hostDialog = &dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        // The pages go with the host: nothing may point at them afterwards.
        m_pMainWnd = nullptr;
        hostDialog = nullptr;
        currentPage = nullptr;
        progressBar = nullptr;
        statusText = nullptr;
    }
    plat::FlushLog();
    return afx::FALSE;
}

void DeriveFolders(CPatchwellApp& state) {
    state.installerFolder = InstallerFolderFromCommandLine(plat::CommandLine());
    state.programFilesFolder = QueryFolder(plat::kCsidlProgramFiles);
    state.userDataFolder = Below(QueryFolder(plat::kCsidlPersonal), "/AerovinRC");
    state.documentsFolder = QueryFolder(plat::kCsidlPersonal);
    state.appDataFolder = Below(QueryFolder(plat::kCsidlAppData), "/AerovinRC");
    state.startMenuFolder = Below(QueryFolder(plat::kCsidlCommonPrograms), "/AerovinRC");
    state.desktopFolder = QueryFolder(plat::kCsidlCommonDesktop);
    // userDataFolder without its "AerovinRC": the Documents folder and its "/".
    const std::size_t nameLength = 9;
    state.userBuilderFolder = state.userDataFolder.size() > nameLength
                                  ? state.userDataFolder.substr(0, state.userDataFolder.size() - nameLength) +
                                        "AerovinBuilder"
                                  : std::string();
    // What the installer may delete and write follows from these folders.
    RebuildOwnedFolders(state);
}

std::string InstallerFolderFromCommandLine(std::string commandLine) {
    if (commandLine.size() <= 2) return std::string();
    std::string program;
    if (commandLine[0] == '"') {
        std::size_t closing = commandLine.find('"', 1);
        program = commandLine.substr(1, closing == std::string::npos ? std::string::npos : closing - 1);
    } else {
        program = commandLine.substr(0, commandLine.find_first_of(" \t"));
    }
    std::size_t cut = program.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    return program.substr(0, cut);
}
