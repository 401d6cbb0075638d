// Fault injection: a test names a seam call (by its Windows or C-runtime
// name), optionally a part of the path it must concern, and the error it must
// fail with. Every call of the seam asks Check first; the logic above the seam
// never knows.
#pragma once

#include <string>

#include "platform/platform.h"

namespace plat::fault {

struct Rule {
    std::string call;          // "CopyFileA", "fwrite", "RegOpenKeyExA", ...
    std::string pathContains;  // empty: any path
    DWORD code = 0;            // the error the call reports
    int skip = 0;              // matching calls let through before the first failure
    int times = -1;            // failures to cause; -1: every matching call
};

void Inject(const Rule& rule);
// Shorthand: every call of `call` whose path contains pathContains fails.
void Inject(const std::string& call, DWORD code, const std::string& pathContains = "");
void Clear();

// The error the call must fail with, or 0 to go ahead. Every call counts.
DWORD Check(const char* call, const std::string& path = std::string());

// The end of the process at a chosen seam call, as a power cut or a kill
// would end it: the nth call from now (1 is the next) ends the process with
// status kKilledStatus before it reaches the machine, with no destructor,
// no atexit handler and no flush beyond what earlier calls made durable.
// 0 removes the rule. Clear() removes it too.
constexpr int kKilledStatus = 137;
void KillAtCall(long n);
// The seam calls made since the process started or the count was reset.
long CallCount();
void ResetCallCount();

// Removes every rule when a test ends.
class Scope {
public:
    Scope() = default;
    ~Scope() { Clear(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

}  // namespace plat::fault
