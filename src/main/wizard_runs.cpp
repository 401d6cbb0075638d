#include <cstdio>

#include "main/native_options.h"
#include "platform/posix/registry_store.h"

// Wine writes its own copy of the registry over ours when its server exits.
bool MachineIsFree(std::string* problem) { return !plat::posix::PrefixInUse(problem); }

int RunUnattended(const NativeOptions&) {
    std::fprintf(stderr, "patchwell: the unattended wizard is not built yet\n");
    return kExitUsage;
}
