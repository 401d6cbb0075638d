// The welcome, installing, complete and failure pages.
//
// Enter and Escape do nothing on any page. The welcome page ignores them too:
// the framework's default would end the page and leave the host empty, with
// no page and no way on.
#pragma once

#include "platform/ui/afx.h"

// Sends WM_SETFONT with the heading font (none when there is no font) and
// redraw to the page's control with that id.
void SendTitleFont(afx::CWnd& page, int controlId);

class CDlgStepWelcome : public afx::CDialogEx {
public:
    explicit CDlgStepWelcome(afx::CWnd* parent = nullptr);
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;
    void OnOK() override {}
    void OnCancel() override {}

    afx::CStatic heading;     // 1003
    afx::CButton startButton; // 1002
};

class CDlgStepInstalling : public afx::CDialogEx {
public:
    explicit CDlgStepInstalling(afx::CWnd* parent = nullptr);
    ~CDlgStepInstalling() override;
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;
    void OnOK() override {}
    void OnCancel() override {}

    afx::CStatic groupBox;          // 1005
    afx::CStatic heading;           // 1003
    afx::CButton continueButton;    // 1002, never enabled
    afx::CProgressCtrl progressBar; // 1008
    afx::CStatic statusLine;        // 1006
};

class CDlgStepComplete : public afx::CDialogEx {
public:
    explicit CDlgStepComplete(afx::CWnd* parent = nullptr);
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;
    void OnOK() override {}
    void OnCancel() override {}
    // Finished: starts the simulator when the box is ticked, then quits.
    void FinishComplete();

    afx::CStatic groupBox;       // 1005
    afx::CStatic heading;        // 1003
    afx::CButton startSimulator; // 1014
};

class CDlgStepFailed : public afx::CDialogEx {
public:
    explicit CDlgStepFailed(afx::CWnd* parent = nullptr);
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;
    void OnOK() override {}
    void OnCancel() override {}

    afx::CStatic groupBox; // 1005
    afx::CStatic heading;  // 1003
    afx::CStatic reason;   // 1013
};
