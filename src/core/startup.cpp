#include "core/installer_state.h"

afx::BOOL CPatchwellApp::InitInstance() { return afx::FALSE; }
