#include <cstdio>

#include "main/native_options.h"

bool MachineIsFree(std::string*) { return true; }

int RunUnattended(const NativeOptions&) {
    std::fprintf(stderr, "patchwell: the unattended wizard is not built yet\n");
    return kExitUsage;
}
