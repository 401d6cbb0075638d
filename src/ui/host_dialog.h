// The host window: the program's only top-level window, which keeps the
// current page over its client area and owns the install pump.
#pragma once

#include "platform/ui/afx.h"

class CPatchwellDlg : public afx::CDialogEx {
public:
    explicit CPatchwellDlg(afx::CWnd* parent = nullptr);
    ~CPatchwellDlg() override;
    afx::BOOL OnInitDialog() override;
    // Enter and Escape do nothing in the host.
    void OnOK() override {}
    void OnCancel() override {}
    // The close button, the system menu and Alt+F4: the exit question.
    void OnClose() override;
    void OnPaint() override;
    void OnMoving(afx::UINT side, afx::RECT* rect) override;
    afx::HICON OnQueryDragIcon() override { return icon; }

private:
    // Lays the current page over the client area, behind nothing but the host.
    void PlaceCurrentPage();

    afx::HICON icon = nullptr;
};
