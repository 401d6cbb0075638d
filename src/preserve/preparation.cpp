#include "preserve/preparation.h"

#include "core/installer_state.h"

void PrepareInstallation(CPatchwellApp& /*state*/) {}
