#pragma once
// Bookkeeping of the simulated host: objects handed out and not yet given back, counted by kind,
// the number of calls of every host operation, and injected faults.
#include <map>
#include <string>
#include <vector>

namespace sim {

class Accounting {
  public:
    // ---- objects handed out, by kind ("stream", "value", "handle", ...)
    void acquire(const std::string& kind);
    // False (and nothing changes) when no object of that kind is outstanding.
    bool release(const std::string& kind);
    long outstanding(const std::string& kind) const;
    // Kinds with objects left, and how many; empty when everything was given back.
    std::map<std::string, long> leaks() const;

    // ---- calls and faults
    // Counts a call of op and returns the error code an injected fault gives it (0: none).
    int enter(const std::string& op);
    long callCount(const std::string& op) const;
    // The nth call (1-based, counted from now) of op ("*": of any operation) returns code.
    void injectFault(const std::string& op, int nth, int code);
    void clearFaults();

  private:
    struct Fault {
        std::string op;
        int nth;
        int code;
        int seen;
    };
    std::map<std::string, long> live_;
    std::map<std::string, long> calls_;
    std::vector<Fault> faults_;
};

}  // namespace sim
