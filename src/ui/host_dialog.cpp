#include "ui/host_dialog.h"

#include "core/installer_state.h"
#include "core/startup.h"
#include "core/step_machine.h"
#include "platform/ui/ui_backend.h"
#include "ui/dialog_layouts.h"
#include "ui/resource_ids.h"

namespace {

constexpr afx::UINT_PTR kPumpTimerId = 0;
constexpr afx::UINT kPumpIntervalMs = 100;

}  // namespace

CPatchwellDlg::CPatchwellDlg(afx::CWnd* parent) : afx::CDialogEx(IDD_PATCHWELL_DIALOG, parent) {
    RegisterDialogLayouts();
    if (afx::CWinApp* app = afx::AfxGetApp()) icon = app->LoadIcon(IDR_MAINFRAME);
}

CPatchwellDlg::~CPatchwellDlg() = default;

afx::BOOL CPatchwellDlg::OnInitDialog() {
    afx::CDialogEx::OnInitDialog();
    SetIcon(icon, afx::TRUE);
    SetIcon(icon, afx::FALSE);
    DeriveFolders(theApp);
    // The pump belongs to the main window, which is this one while it runs.
    afx::HWND mainWindow = theApp.m_pMainWnd ? theApp.m_pMainWnd->GetSafeHwnd() : nullptr;
    afx::SetTimer(mainWindow, kPumpTimerId, kPumpIntervalMs, PumpTick);
    SwitchStep(theApp.currentStep + 1, theApp);
    return afx::TRUE;
}

void CPatchwellDlg::OnClose() { ConfirmExit(); }

void CPatchwellDlg::OnPaint() {
    if (IsIconic()) {
        afx::CurrentUiBackend().PaintIcon(*this, icon);
        return;
    }
    afx::CDialogEx::OnPaint();
    PlaceCurrentPage();
}

// The page goes to the client origin as it is when the notification arrives,
// that is before this move step; the next step or paint catches up.
void CPatchwellDlg::OnMoving(afx::UINT side, afx::RECT* rect) {
    afx::CDialogEx::OnMoving(side, rect);
    PlaceCurrentPage();
}

void CPatchwellDlg::PlaceCurrentPage() {
    if (theApp.currentStep == 0 || !theApp.currentPage) return;
    afx::POINT origin;
    ClientToScreen(&origin);
    theApp.currentPage->SetWindowPos(this, origin.x, origin.y, 0, 0, afx::SWP_NOSIZE);
}
