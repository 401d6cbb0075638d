#include "platform/fault.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace plat::fault {
namespace {

std::vector<Rule>& Rules() {
    static std::vector<Rule> rules;
    return rules;
}

long callCount = 0;
long killAt = 0;  // the count at which the process ends; 0: never

// The seam is called from a second thread too (the files of a package are
// written beside the walk): the rules and the count are kept under one lock.
std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void KillAtCall(long n) {
    std::lock_guard<std::mutex> hold(Lock());
    killAt = n > 0 ? callCount + n : 0;
}

long CallCount() {
    std::lock_guard<std::mutex> hold(Lock());
    return callCount;
}

void ResetCallCount() {
    std::lock_guard<std::mutex> hold(Lock());
    callCount = 0;
}

void Inject(const Rule& rule) {
    std::lock_guard<std::mutex> hold(Lock());
    Rules().push_back(rule);
}

void Inject(const std::string& call, DWORD code, const std::string& pathContains) {
    Rule rule;
    rule.call = call;
    rule.code = code;
    rule.pathContains = pathContains;
    Inject(rule);
}

void Clear() {
    std::lock_guard<std::mutex> hold(Lock());
    Rules().clear();
    killAt = 0;
}

DWORD Check(const char* call, const std::string& path) {
    std::lock_guard<std::mutex> hold(Lock());
    if (++callCount == killAt) std::_Exit(kKilledStatus);
    for (Rule& rule : Rules()) {
        if (rule.call != call || rule.times == 0) continue;
        if (!rule.pathContains.empty() && path.find(rule.pathContains) == std::string::npos) continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.times > 0) --rule.times;
        return rule.code;
    }
    return 0;
}

}  // namespace plat::fault
