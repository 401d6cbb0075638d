#include "preserve/settings_transfer.h"

#include "core/installer_state.h"

void SavePreviousSettings(CPatchwellApp& /*state*/) {}
void RestorePreviousSettings(CPatchwellApp& /*state*/) {}
