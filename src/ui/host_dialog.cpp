#include "ui/host_dialog.h"

#include "ui/resource_ids.h"

CPatchwellDlg::CPatchwellDlg(afx::CWnd* parent) : afx::CDialogEx(IDD_PATCHWELL_DIALOG, parent) {}
CPatchwellDlg::~CPatchwellDlg() = default;
afx::BOOL CPatchwellDlg::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CPatchwellDlg::OnClose() {}
void CPatchwellDlg::OnPaint() {}
void CPatchwellDlg::OnMoving() {}
