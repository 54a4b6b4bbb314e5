#include "sim/core/Accounting.h"

#include <algorithm>
#include <cassert>

namespace sim {

void Accounting::acquire(const std::string& kind) {
    ++live_[kind];
}

bool Accounting::release(const std::string& kind) {
    auto it = live_.find(kind);
    if (it == live_.end() || it->second == 0) return false;
    --it->second;
    return true;
}

long Accounting::outstanding(const std::string& kind) const {
    auto it = live_.find(kind);
    return it == live_.end() ? 0 : it->second;
}

std::map<std::string, long> Accounting::leaks() const {
    std::map<std::string, long> left;
    for (const auto& [kind, count] : live_) {
        assert(count >= 0);
        if (count > 0) left[kind] = count;
    }
    return left;
}

int Accounting::enter(const std::string& op) {
    ++calls_[op];
    int code = 0;
    for (Fault& f : faults_) {
        if (f.op != op && f.op != "*") continue;
        if (++f.seen == f.nth && code == 0) code = f.code;
    }
    // A fault fires once; the first one due wins when several fall on the same call.
    faults_.erase(std::remove_if(faults_.begin(), faults_.end(),
                                 [](const Fault& f) { return f.seen >= f.nth; }),
                  faults_.end());
    return code;
}

long Accounting::callCount(const std::string& op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

void Accounting::injectFault(const std::string& op, int nth, int code) {
    faults_.push_back(Fault{op, std::max(1, nth), code, 0});
}

void Accounting::clearFaults() {
    faults_.clear();
}

}  // namespace sim
