// The host window: the program's only top-level window, which keeps the
// current page over its client area and owns the install pump.
#pragma once

#include "platform/ui/afx.h"

class CPatchwellDlg : public afx::CDialogEx {
public:
    explicit CPatchwellDlg(afx::CWnd* parent = nullptr);
    ~CPatchwellDlg() override;
    afx::BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose() override;
    void OnPaint() override;
    void OnMoving() override;
};
