// The installer state: everything the installer knows, in one record held by
// the application object. Fields are plain and public; every subsystem reads
// and writes the ones it needs.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/version_number.h"
#include "platform/platform.h"
#include "platform/ui/afx.h"

// One update package.
struct Package {
    std::string path;  // installerFolder + "/" + file name
    std::string name;  // shown in the log and on the status line; the same text as path
    float weight = 1.0f;
    std::int32_t length = 0;                  // size of the file; 0 until it is read
    plat::LargeBuffer data;                   // the file's bytes; null until read
    // Set when discovery has checked the whole package: the file's length and
    // each chunk's CRC-32 as checked, by which the installation, reading the
    // file again, knows it for the one checked.
    bool checked = false;
    std::int32_t checkedLength = 0;
    std::vector<std::uint32_t> checkedChunkCrcs;
};

// The record itself: a plain aggregate whose fields every subsystem reads
// and writes directly. Assigning a fresh InstallerState puts every field
// back to its initial value.
struct InstallerState {
    afx::CDialogEx* currentPage = nullptr;
    std::int32_t currentStep = 0;
    std::unique_ptr<afx::CFont> titleFont;
    bool pumpBusy = false;
    bool createStartMenuShortcuts = false;
    bool createDesktopShortcuts = false;
    bool backupSettings = false;
    bool installRequested = false;
    std::uint32_t progressCount = 0;
    std::string installFolder;
    std::string failureReason;
    std::string installerFolder;
    std::string documentsFolder;
    std::string userDataFolder;
    std::string appDataFolder;
    std::string startMenuFolder;
    std::string desktopFolder;
    std::string builderFolder;
    std::string userBuilderFolder;
    std::string programFilesFolder;
    VersionNumber installedVersion;
    std::list<std::unique_ptr<Package>> packages;
    std::string simulationSpeedBlock;
    std::string flightRecorderBlock;
    std::string flyingSiteBlock;
    std::string unitsSchemeBlock;
    std::string trainingStartHeightBlock;
    std::string modelFirstText;
    std::string modelFourthText;
    std::string languageText;
    std::string helperDialogsText;
    bool optionsCaptured = false;
    bool calibrationCaptured = false;
    std::int32_t calibration[8][3] = {};
    std::list<std::string> installedStockSites;
    afx::CProgressCtrl* progressBar = nullptr;
    afx::CStatic* statusText = nullptr;
    std::string optionsLineBreak;  // how the old options file ended its lines; empty: CR LF
    std::string holdingFolder;     // where the user's content is held; empty: documentsFolder + "/AerovinTemp"
};

// The six root folders that update packages write into, by the index a
// package's root group names (0 to 5): the one table of them, for the
// package check and walk, the guard, the package tool and the tests.
struct RootFolder {
    const char* logName;  // in the installer's log: "installation", "user data", ...
    const char* title;    // in the package tool: "installation folder", ...
    std::string InstallerState::*field;
};
inline constexpr RootFolder kRootFolders[] = {
    {"installation", "installation folder", &InstallerState::installFolder},
    {"user data", "user data folder", &InstallerState::userDataFolder},
    {"start menu", "Start menu folder", &InstallerState::startMenuFolder},
    {"application data", "application data folder", &InstallerState::appDataFolder},
    {"builder", "editor tool folder", &InstallerState::builderFolder},
    {"user builder", "user editor tool folder", &InstallerState::userBuilderFolder},
};

class CPatchwellApp : public afx::CWinApp, public InstallerState {
public:
    CPatchwellApp();
    ~CPatchwellApp() override;

    afx::BOOL InitInstance() override;

    // Finishing steps that are members of the application object.
    void CreateShortcuts();
    void SetUpFirewall();

    // Puts the installer state back to its initial values; the framework's
    // part of the object (the main window) is left as it is.
    void ResetState() { static_cast<InstallerState&>(*this) = InstallerState(); }
};

extern CPatchwellApp theApp;

class CPatchwellDlg;
class CDlgDetectVersion;
class CDlgStepInstalling;
extern CPatchwellDlg* hostDialog;
extern CDlgDetectVersion* detectPage;
extern CDlgStepInstalling* installingPage;
