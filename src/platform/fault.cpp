#include "platform/fault.h"

#include <vector>

namespace plat::fault {
namespace {

std::vector<Rule>& Rules() {
    static std::vector<Rule> rules;
    return rules;
}

}  // namespace

void Inject(const Rule& rule) { Rules().push_back(rule); }

void Inject(const std::string& call, DWORD code, const std::string& pathContains) {
    Rule rule;
    rule.call = call;
    rule.code = code;
    rule.pathContains = pathContains;
    Inject(rule);
}

void Clear() { Rules().clear(); }

DWORD Check(const char* call, const std::string& path) {
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
