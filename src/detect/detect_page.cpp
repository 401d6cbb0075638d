#include "detect/detect_page.h"

#include <cstdio>
#include <vector>

#include "core/installer_state.h"
#include "core/log.h"
#include "core/step_machine.h"
#include "detect/installation_search.h"
#include "detect/version_rules.h"
#include "ui/resource_ids.h"

namespace {

constexpr afx::UINT_PTR kDetectTimerId = 0;
constexpr afx::UINT kDetectDelayMs = 250;

std::string RejectionReason(const VersionNumber& installed) {
    std::string found = FormatVersion(installed);
    std::string minimum = FormatVersion(ParseVersion(kMinimumVersion));
    const char* format = "Version \"%s\" is installed - You must have at least version \"%s\" to continue.";
    int length = std::snprintf(nullptr, 0, format, found.c_str(), minimum.c_str());
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format, found.c_str(), minimum.c_str());
    return std::string(text.data(), static_cast<std::size_t>(length));
}

// Swaps the searching controls for the location field and its label, records
// the installation and lets the user continue.
void ShowInstallationFound(CDlgDetectVersion* page, const std::string& folder) {
    if (page) {
        page->progressBar.ShowWindow(afx::SW_HIDE);
        page->searchingText.ShowWindow(afx::SW_HIDE);
        page->location.ShowWindow(afx::SW_SHOW);
        page->locationLabel.ShowWindow(afx::SW_SHOW);
    }
    RecordInstallation(folder);
    if (page) page->continueButton.EnableWindow(afx::TRUE);
}

}  // namespace

CDlgDetectVersion::CDlgDetectVersion(afx::CWnd* parent) : afx::CDialogEx(IDD_DETECT_VERSION, parent) {
    detectPage = this;
}

CDlgDetectVersion::~CDlgDetectVersion() {
    if (detectPage == this) detectPage = nullptr;
}

void CDlgDetectVersion::DoDataExchange(afx::CDataExchange* exchange) {
    afx::CDialogEx::DoDataExchange(exchange);
    afx::DDX_Control(exchange, IDC_GROUP_BOX, groupBox);
    afx::DDX_Control(exchange, IDC_HEADING, heading);
    afx::DDX_Control(exchange, IDC_SEARCH_PROGRESS, progressBar);
    afx::DDX_Control(exchange, IDC_LOCATION, location);
    afx::DDX_Control(exchange, IDC_LOCATION_LABEL, locationLabel);
    afx::DDX_Control(exchange, IDC_SEARCHING_TEXT, searchingText);
    afx::DDX_Control(exchange, IDC_DETECT_CONTINUE, continueButton);
    afx::DDX_Control(exchange, IDC_START_MENU_BOX, startMenuBox);
    afx::DDX_Control(exchange, IDC_DESKTOP_BOX, desktopBox);
    afx::DDX_Control(exchange, IDC_BACKUP_BOX, backupBox);
}

afx::BOOL CDlgDetectVersion::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    afx::HFONT font = theApp.titleFont ? theApp.titleFont->GetSafeHandle() : nullptr;
    afx::CWnd* titled[] = {&heading, &groupBox, &continueButton};
    for (afx::CWnd* control : titled)
        control->SendMessage(afx::WM_SETFONT, reinterpret_cast<afx::WPARAM>(font), afx::TRUE);
    // All three choices start switched on.
    for (afx::CButton* box : {&backupBox, &desktopBox, &startMenuBox})
        box->SendMessage(afx::BM_SETCHECK, afx::BST_CHECKED);
    // The delay lets the page appear and paint before the search, which
    // blocks the user interface, begins.
    SetTimer(kDetectTimerId, kDetectDelayMs, DetectTimerProc);
    return afx::TRUE;
}

afx::BOOL CDlgDetectVersion::OnCommand(int controlId) {
    switch (controlId) {
        case IDC_DETECT_CONTINUE:
            OnContinue();
            return afx::TRUE;
        case IDC_CANCEL_BUTTON:
            ConfirmExit();
            return afx::TRUE;
        default:
            // Enter and Escape reach the empty OnOK and OnCancel.
            return afx::CDialogEx::OnCommand(controlId);
    }
}

void CDlgDetectVersion::OnContinue() {
    if (IsVersionAccepted(theApp.installedVersion)) {
        theApp.createStartMenuShortcuts = startMenuBox.SendMessage(afx::BM_GETCHECK) != 0;
        theApp.createDesktopShortcuts = desktopBox.SendMessage(afx::BM_GETCHECK) != 0;
        theApp.backupSettings = backupBox.SendMessage(afx::BM_GETCHECK) != 0;
        SwitchStep(theApp.currentStep + 1, theApp);
        return;
    }
    LogPrintf("Invalid version\n");
    // The same text when the version lies above the maximum.
    theApp.failureReason = RejectionReason(theApp.installedVersion);
    SwitchStep(stepFailed, theApp);
}

void DetectTimerProc(afx::HWND window, afx::UINT, afx::UINT_PTR timerId, afx::DWORD) {
    // One-shot: stopped before the search, which can take minutes.
    afx::KillTimer(window, timerId);
    std::string folder = FindPreviousInstallation();
    if (folder.empty()) {
        LogPrintf("Error: No previous installation found\n");
        theApp.failureReason = "Could not detect any previously installed version.";
        SwitchStep(stepFailed, theApp);
        return;
    }
    LogPrintf("Found previous installation at %s\n", folder.c_str());
    ShowInstallationFound(detectPage, folder);
}
