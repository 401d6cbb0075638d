#include "packages/package_install.h"

#include "core/installer_state.h"

void InstallPackage(CPatchwellApp& /*state*/, Package* /*package*/) {}
