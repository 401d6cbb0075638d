#include "system/uninstall_registry.h"

#include "core/installer_state.h"

void CleanUpRegistry() {}
void WriteUninstallEntry(const CPatchwellApp& /*state*/) {}
