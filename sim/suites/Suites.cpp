// The basic suite: every other suite is acquired through it by name and version.
#include <cstdlib>
#include <cstring>

#include "sim/core/HostImpl.h"

namespace sim {

namespace {

using Impl = Host::Impl;

SPErr acquireSuite(const char* name, int32 version, const void** suite) {
    if (suite) *suite = nullptr;
    return serve("AcquireSuite", [&](Impl& h) -> SPErr {
        if (!name || !suite) return A_Err_PARAMETER;
        const void* table = h.withheldSuites.count(name) ? nullptr : findSuite(name, version);
        if (!table) return kSPSuiteNotFoundError;
        *suite = table;
        long& held = h.acquiredSuites[{name, version}];
        ++held;
        h.accounting.acquire("suite", &held);  // by name and version
        return kSPNoError;
    });
}

SPErr releaseSuite(const char* name, int32 version) {
    return serve("ReleaseSuite", [&](Impl& h) -> SPErr {
        if (!name) return A_Err_PARAMETER;
        auto it = h.acquiredSuites.find({name, version});
        if (it == h.acquiredSuites.end()) {
            h.accounting.misused("suite", "not handed out");
            return kSPSuiteNotFoundError;
        }
        if (!h.accounting.release("suite", &it->second)) return kSPSuiteNotFoundError;
        --it->second;
        return kSPNoError;
    });
}

SPBoolean isEqual(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

SPErr allocateBlock(size_t size, void** block) {
    return serve("AllocateBlock", [&](Impl& h) -> SPErr {
        if (!block) return A_Err_PARAMETER;
        *block = std::malloc(size ? size : 1);
        if (!*block) return A_Err_ALLOC;
        h.accounting.acquire("block", *block);
        return kSPNoError;
    });
}

SPErr freeBlock(void* block) {
    return serve("FreeBlock", [&](Impl& h) -> SPErr {
        if (!block || !h.accounting.release("block", block)) return A_Err_PARAMETER;
        std::free(block);
        return kSPNoError;
    });
}

SPErr reallocateBlock(void* block, size_t size, void** moved) {
    return serve("ReallocateBlock", [&](Impl& h) -> SPErr {
        if (!moved) return A_Err_PARAMETER;
        if (!block || !h.accounting.use("block", block)) return A_Err_PARAMETER;
        h.accounting.release("block", block);
        void* p = std::realloc(block, size ? size : 1);
        if (!p) {
            h.accounting.acquire("block", block);  // left as it was
            return A_Err_ALLOC;
        }
        h.accounting.acquire("block", p);
        *moved = p;
        return kSPNoError;
    });
}

SPErr undefined() {
    return A_Err_GENERIC;
}

}  // namespace

SPBasicSuite basicSuite() {
    SPBasicSuite s{};
    s.AcquireSuite = &acquireSuite;
    s.ReleaseSuite = &releaseSuite;
    s.IsEqual = &isEqual;
    s.AllocateBlock = &allocateBlock;
    s.FreeBlock = &freeBlock;
    s.ReallocateBlock = &reallocateBlock;
    s.Undefined = &undefined;
    return s;
}

const void* findSuite(const std::string& name, int version) {
    for (auto find : {&aegpSuite, &streamSuite, &effectSuite, &drawbotSuite}) {
        if (const void* table = find(name, version)) return table;
    }
    return nullptr;
}

}  // namespace sim
