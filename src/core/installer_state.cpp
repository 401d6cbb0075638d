#include "core/installer_state.h"

CPatchwellApp theApp;
CPatchwellDlg* hostDialog = nullptr;
CDlgDetectVersion* detectPage = nullptr;
CDlgStepInstalling* installingPage = nullptr;

CPatchwellApp::CPatchwellApp() : afx::CWinApp(nullptr) {}

CPatchwellApp::~CPatchwellApp() = default;
