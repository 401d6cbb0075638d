// The detection page: finds the previous installation and takes the user's
// shortcut and backup choices.
#pragma once

#include "platform/ui/afx.h"

class CDlgDetectVersion : public afx::CDialogEx {
public:
    // Becomes the page the search reaches through detectPage.
    explicit CDlgDetectVersion(afx::CWnd* parent = nullptr);
    ~CDlgDetectVersion() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnInitDialog() override;
    // Enter and Escape do nothing on this page.
    void OnOK() override {}
    void OnCancel() override {}
    // 1007 Continue runs OnContinue, 1001 Cancel asks the exit question.
    afx::BOOL OnCommand(int controlId) override;
    // Continue: accepts the version and stores the three choices.
    void OnContinue();

    afx::CStatic groupBox;           // 1005
    afx::CStatic heading;            // 1003
    afx::CProgressCtrl progressBar;  // 1008
    afx::CEdit location;             // 1010
    afx::CStatic locationLabel;      // 1006
    afx::CStatic searchingText;      // 1004
    afx::CButton continueButton;     // 1007
    afx::CButton startMenuBox;       // 1009
    afx::CButton desktopBox;         // 1012
    afx::CButton backupBox;          // 1002
};

// The page's one-shot timer: runs the search 250 ms after the page opened.
void DetectTimerProc(afx::HWND window, afx::UINT message, afx::UINT_PTR timerId, afx::DWORD time);
