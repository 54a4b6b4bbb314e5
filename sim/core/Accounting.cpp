#include "sim/core/Accounting.h"

#include <algorithm>

namespace sim {

void Accounting::acquire(const std::string& kind, const void* id) {
    Key key{kind, id};
    ++held_[key];
    released_.erase(key);
}

bool Accounting::release(const std::string& kind, const void* id) {
    Key key{kind, id};
    auto it = held_.find(key);
    if (it == held_.end()) {
        misused(kind, released_.count(key) ? "released twice" : "not handed out");
        return false;
    }
    if (--it->second == 0) {
        held_.erase(it);
        released_.insert(std::move(key));
    }
    return true;
}

bool Accounting::use(const std::string& kind, const void* id) {
    Key key{kind, id};
    if (held_.count(key)) return true;
    if (released_.count(key)) misused(kind, "used after release");
    return false;
}

void Accounting::misused(const std::string& kind, const std::string& problem) {
    misuse_.push_back(Misuse{current_, kind, problem});
}

long Accounting::outstanding(const std::string& kind) const {
    long n = 0;
    for (const auto& [key, count] : held_)
        if (key.first == kind) n += count;
    return n;
}

std::map<std::string, long> Accounting::leaks() const {
    std::map<std::string, long> left;
    for (const auto& [key, count] : held_) left[key.first] += count;
    return left;
}

int Accounting::enter(const std::string& op) {
    ++calls_[op];
    current_ = op;
    return faultsDue(op);
}

int Accounting::enter(const char* op) {
    auto cached = byAddress_.find(op);
    if (cached == byAddress_.end() || cached->second->first != op) {
        cached = byAddress_.insert_or_assign(op, &*calls_.try_emplace(op, 0).first).first;
    }
    ++cached->second->second;
    current_ = op;
    return faultsDue(current_);
}

int Accounting::faultsDue(const std::string& op) {
    int code = 0;
    afterCode_ = 0;
    for (Fault& f : faults_) {
        if (f.op != op && f.op != "*") continue;
        if (++f.seen != f.nth || code != 0 || afterCode_ != 0) continue;
        (f.after ? afterCode_ : code) = f.code;
    }
    // A fault fires once; the first one due wins when several fall on the same call.
    faults_.erase(std::remove_if(faults_.begin(), faults_.end(),
                                 [](const Fault& f) { return f.seen >= f.nth; }),
                  faults_.end());
    return code;
}

int Accounting::takeAfterFault() {
    const int code = afterCode_;
    afterCode_ = 0;
    return code;
}

long Accounting::callCount(const std::string& op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

void Accounting::injectFault(const std::string& op, int nth, int code, bool after) {
    faults_.push_back(Fault{op, std::max(1, nth), code, after, 0});
}

void Accounting::clearFaults() {
    faults_.clear();
    afterCode_ = 0;
}

}  // namespace sim
