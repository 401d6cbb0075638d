#include "core/installer_state.h"

void CPatchwellApp::CreateShortcuts() {}
