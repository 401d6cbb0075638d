#include "core/installer_state.h"

void CPatchwellApp::SetUpFirewall() {}
