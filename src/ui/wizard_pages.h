// The welcome, installing, complete and failure pages.
#pragma once

#include "platform/ui/afx.h"

class CDlgStepWelcome : public afx::CDialogEx {
public:
    explicit CDlgStepWelcome(afx::CWnd* parent = nullptr);
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;

    afx::CStatic heading;     // 1003
    afx::CButton startButton; // 1002
};

class CDlgStepInstalling : public afx::CDialogEx {
public:
    explicit CDlgStepInstalling(afx::CWnd* parent = nullptr);
    afx::BOOL OnInitDialog() override;
    void DoDataExchange(afx::CDataExchange* exchange) override;
    afx::BOOL OnCommand(int controlId) override;
    void OnOK() override {}
    void OnCancel() override {}

    afx::CStatic groupBox;          // 1005
    afx::CStatic heading;           // 1003
    afx::CButton continueButton;    // 1002
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
