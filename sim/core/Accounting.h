#pragma once
// Bookkeeping of the simulated host: objects handed out and not yet given back, each by its
// identity (the handle, or the address the host wrote a value to), the number of calls of every
// host operation, injected faults, and the misuse of handles the plug-in made.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace sim {

// A release or use of a handle the host did not hand out, or no longer holds.
struct Misuse {
    std::string call;     // the host operation
    std::string kind;     // "stream", "value", ...
    std::string problem;  // "released twice", "not handed out", "used after release"
};

class Accounting {
  public:
    // ---- objects handed out, by kind ("stream", "value", "handle", ...) and identity; the same
    // identity may be handed out more than once (a suite), and is then held as often.
    void acquire(const std::string& kind, const void* id);
    // False when that object is not held: recorded as misuse of the current call.
    bool release(const std::string& kind, const void* id);
    // Whether the object is held; a use of one given back is recorded as misuse.
    bool use(const std::string& kind, const void* id);
    // Records a misuse the call found itself (e.g. a suite name never acquired).
    void misused(const std::string& kind, const std::string& problem);
    long outstanding(const std::string& kind) const;
    // Kinds with objects left, and how many; empty when everything was given back.
    std::map<std::string, long> leaks() const;
    const std::vector<Misuse>& misuse() const { return misuse_; }
    std::vector<Misuse> takeMisuse() {
        std::vector<Misuse> taken;
        taken.swap(misuse_);
        return taken;
    }

    // ---- calls and faults
    // Counts a call of op and returns the error code an injected fault gives it before the call
    // acts (0: none). A fault due after the call acts waits in takeAfterFault().
    int enter(const std::string& op);
    int enter(const char* op);  // the same, counted through a cache by the name's address
    // The code of a fault injected to follow the call just entered (0: none); taken once.
    int takeAfterFault();
    long callCount(const std::string& op) const;
    // The nth call (1-based, counted from now) of op ("*": of any operation) returns code: before
    // it acts, or with after set once it has acted (the object handed out or given back).
    void injectFault(const std::string& op, int nth, int code, bool after = false);
    void clearFaults();

  private:
    struct Fault {
        std::string op;
        int nth;
        int code;
        bool after;
        int seen;
    };
    using Key = std::pair<std::string, const void*>;
    // Hashed: a long run hands out and takes back millions of objects.
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<std::string>()(k.first) ^
                   (size_t(reinterpret_cast<uintptr_t>(k.second)) * 0x9e3779b97f4a7c15ull);
        }
    };
    std::unordered_map<Key, long, KeyHash> held_;
    std::unordered_set<Key, KeyHash> released_;  // given back and not handed out again
    std::vector<Misuse> misuse_;
    std::string current_;  // the operation being served
    std::unordered_map<std::string, long> calls_;
    // Entries of calls_ by the address of the name last counted there (checked by its text).
    std::unordered_map<const char*, std::pair<const std::string, long>*> byAddress_;
    int faultsDue(const std::string& op);
    std::vector<Fault> faults_;
    int afterCode_ = 0;
};

}  // namespace sim
