#include <cstdio>

#include "main/native_options.h"

int RunTerminalWizard(const NativeOptions&) {
    std::fprintf(stderr, "patchwell: the terminal wizard is not built yet; use --unattended\n");
    return kExitUsage;
}
