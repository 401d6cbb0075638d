#include "ui/wizard_pages.h"

#include "core/installer_state.h"
#include "core/step_machine.h"
#include "packages/package_discovery.h"
#include "platform/platform.h"
#include "ui/resource_ids.h"

namespace {

constexpr afx::UINT_PTR kDiscoveryTimerId = 0;
constexpr afx::UINT kDiscoveryDelayMs = 250;

}  // namespace

void SendTitleFont(afx::CWnd& page, int controlId) {
    afx::CWnd* control = page.GetDlgItem(controlId);
    if (!control) return;
    afx::HFONT font = theApp.titleFont ? theApp.titleFont->GetSafeHandle() : nullptr;
    control->SendMessage(afx::WM_SETFONT, reinterpret_cast<afx::WPARAM>(font), afx::TRUE);
}

// ---- Welcome ----

CDlgStepWelcome::CDlgStepWelcome(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_WELCOME, parent) {}

void CDlgStepWelcome::DoDataExchange(afx::CDataExchange* exchange) {
    afx::CDialogEx::DoDataExchange(exchange);
    afx::DDX_Control(exchange, IDC_HEADING, heading);
    afx::DDX_Control(exchange, IDC_START_BUTTON, startButton);
}

afx::BOOL CDlgStepWelcome::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    SendTitleFont(*this, IDC_HEADING);
    SendTitleFont(*this, IDC_START_BUTTON);
    return afx::TRUE;
}

afx::BOOL CDlgStepWelcome::OnCommand(int controlId) {
    switch (controlId) {
        case IDC_START_BUTTON:
            SwitchStep(theApp.currentStep + 1, theApp);
            return afx::TRUE;
        case IDC_CANCEL_BUTTON:
            ConfirmExit();
            return afx::TRUE;
        default:
            return afx::CDialogEx::OnCommand(controlId);
    }
}

// ---- Installing ----

CDlgStepInstalling::CDlgStepInstalling(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_INSTALLING, parent) {
    installingPage = this;
}

CDlgStepInstalling::~CDlgStepInstalling() {
    if (installingPage == this) installingPage = nullptr;
    if (theApp.progressBar == &progressBar) theApp.progressBar = nullptr;
    if (theApp.statusText == &statusLine) theApp.statusText = nullptr;
}

void CDlgStepInstalling::DoDataExchange(afx::CDataExchange* exchange) {
    afx::CDialogEx::DoDataExchange(exchange);
    afx::DDX_Control(exchange, IDC_GROUP_BOX, groupBox);
    afx::DDX_Control(exchange, IDC_HEADING, heading);
    afx::DDX_Control(exchange, IDC_CONTINUE_BUTTON, continueButton);
    afx::DDX_Control(exchange, IDC_PROGRESS_BAR, progressBar);
    afx::DDX_Control(exchange, IDC_STATUS_LINE, statusLine);
}

afx::BOOL CDlgStepInstalling::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    SendTitleFont(*this, IDC_HEADING);
    SendTitleFont(*this, IDC_GROUP_BOX);
    SendTitleFont(*this, IDC_CONTINUE_BUTTON);
    theApp.progressBar = &progressBar;
    theApp.statusText = &statusLine;
    // Discovery stops this timer when it runs, so it runs once.
    SetTimer(kDiscoveryTimerId, kDiscoveryDelayMs, DiscoverPackages);
    return afx::TRUE;
}

afx::BOOL CDlgStepInstalling::OnCommand(int controlId) {
    if (controlId == IDC_CANCEL_BUTTON) {
        ConfirmExit();
        return afx::TRUE;
    }
    return afx::CDialogEx::OnCommand(controlId);
}

// ---- Complete ----

CDlgStepComplete::CDlgStepComplete(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_COMPLETE, parent) {}

void CDlgStepComplete::DoDataExchange(afx::CDataExchange* exchange) {
    afx::CDialogEx::DoDataExchange(exchange);
    afx::DDX_Control(exchange, IDC_GROUP_BOX, groupBox);
    afx::DDX_Control(exchange, IDC_HEADING, heading);
    afx::DDX_Control(exchange, IDC_START_SIMULATOR, startSimulator);
}

afx::BOOL CDlgStepComplete::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    SendTitleFont(*this, IDC_HEADING);
    SendTitleFont(*this, IDC_GROUP_BOX);
    startSimulator.SendMessage(afx::BM_SETCHECK, afx::BST_CHECKED);
    return afx::TRUE;
}

afx::BOOL CDlgStepComplete::OnCommand(int controlId) {
    if (controlId == IDC_FINISHED_BUTTON) {
        FinishComplete();
        return afx::TRUE;
    }
    return afx::CDialogEx::OnCommand(controlId);
}

void CDlgStepComplete::FinishComplete() {
    // Exactly BST_CHECKED: an indeterminate state (2) does not start it.
    if (startSimulator.SendMessage(afx::BM_GETCHECK) == afx::BST_CHECKED)
        plat::ShellOpen(theApp.installFolder + "\\AerovinRC.exe");  // nothing is reported when it fails
    afx::PostQuitMessage(1);
}

// ---- Failure ----

CDlgStepFailed::CDlgStepFailed(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_FAILED, parent) {}

void CDlgStepFailed::DoDataExchange(afx::CDataExchange* exchange) {
    afx::CDialogEx::DoDataExchange(exchange);
    afx::DDX_Control(exchange, IDC_GROUP_BOX, groupBox);
    afx::DDX_Control(exchange, IDC_HEADING, heading);
    afx::DDX_Control(exchange, IDC_FAILURE_REASON, reason);
}

afx::BOOL CDlgStepFailed::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    SendTitleFont(*this, IDC_HEADING);
    SendTitleFont(*this, IDC_GROUP_BOX);
    reason.SetWindowText(theApp.failureReason.c_str());
    SendTitleFont(*this, IDC_FAILURE_REASON);
    return afx::TRUE;
}

afx::BOOL CDlgStepFailed::OnCommand(int controlId) {
    if (controlId == IDC_FINISHED_BUTTON) {
        afx::PostQuitMessage(1);
        return afx::TRUE;
    }
    return afx::CDialogEx::OnCommand(controlId);
}
