#include "ui/wizard_pages.h"

#include "core/installer_state.h"
#include "ui/resource_ids.h"

CDlgStepWelcome::CDlgStepWelcome(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_WELCOME, parent) {}
afx::BOOL CDlgStepWelcome::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CDlgStepWelcome::DoDataExchange(afx::CDataExchange*) {}
afx::BOOL CDlgStepWelcome::OnCommand(int controlId) { return afx::CDialogEx::OnCommand(controlId); }

CDlgStepInstalling::CDlgStepInstalling(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_INSTALLING, parent) {
    installingPage = this;
}
afx::BOOL CDlgStepInstalling::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CDlgStepInstalling::DoDataExchange(afx::CDataExchange*) {}
afx::BOOL CDlgStepInstalling::OnCommand(int) { return afx::FALSE; }

CDlgStepComplete::CDlgStepComplete(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_COMPLETE, parent) {}
afx::BOOL CDlgStepComplete::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CDlgStepComplete::DoDataExchange(afx::CDataExchange*) {}
afx::BOOL CDlgStepComplete::OnCommand(int) { return afx::FALSE; }
void CDlgStepComplete::FinishComplete() {}

CDlgStepFailed::CDlgStepFailed(afx::CWnd* parent) : afx::CDialogEx(IDD_STEP_FAILED, parent) {}
afx::BOOL CDlgStepFailed::OnInitDialog() { return afx::CDialogEx::OnInitDialog(); }
void CDlgStepFailed::DoDataExchange(afx::CDataExchange*) {}
afx::BOOL CDlgStepFailed::OnCommand(int) { return afx::FALSE; }
