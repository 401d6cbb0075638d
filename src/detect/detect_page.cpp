#include "detect/detect_page.h"

#include "core/installer_state.h"
#include "ui/resource_ids.h"

CDlgDetectVersion::CDlgDetectVersion(afx::CWnd* parent) : afx::CDialogEx(IDD_DETECT_VERSION, parent) {
    detectPage = this;
}
afx::BOOL CDlgDetectVersion::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CDlgDetectVersion::DoDataExchange(afx::CDataExchange*) {}
afx::BOOL CDlgDetectVersion::OnCommand(int) { return afx::FALSE; }
void CDlgDetectVersion::OnContinue() {}
void DetectTimerProc(afx::HWND, afx::UINT, afx::UINT_PTR, afx::DWORD) {}
