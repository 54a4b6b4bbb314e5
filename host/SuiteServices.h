#pragma once
// Suite services beyond AEGP_SuiteHandler: the missing-suite exception shared by every suite
// acquisition that throws, and a scoped suite for versions the handler has no accessor for.
#include "AE_Effect.h"
#include "SPBasic.h"
#include "host/HostObjects.h"

// Throws PF_Err_BAD_CALLBACK_PARAM (516), which EntryPointFunc returns to the host.
[[noreturn]] void throwMissingSuite();

// One suite held for a scope: acquired by name and version on construction (throws through
// throwMissingSuite() when absent or empty), released on destruction.
template <class Suite>
class ScopedSuite {
  public:
    ScopedSuite(const SPBasicSuite* basic, const char* name, int32 version)
        : basic_(basic), name_(name), version_(version), suite_(nullptr) {
        const void* suite = nullptr;
        const SPErr err = basic_ ? basic_->AcquireSuite(name_, version_, &suite) : kSPNoError;
        // A suite handed out along with an error counts as acquired: given back once.
        if (err && suite) basic_->ReleaseSuite(name_, version_);
        if (!basic_ || err || !suite) throwMissingSuite();
        suite_ = static_cast<const Suite*>(suite);
    }
    ~ScopedSuite() {
        giveBack([&] { return basic_->ReleaseSuite(name_, version_); });
    }
    ScopedSuite(const ScopedSuite&) = delete;
    ScopedSuite& operator=(const ScopedSuite&) = delete;

    const Suite* operator->() const { return suite_; }

  private:
    const SPBasicSuite* basic_;
    const char* name_;
    int32 version_;
    const Suite* suite_;
};

// One suite held for a scope through AEFX_AcquireSuite and AEFX_ReleaseSuite: a failure shows
// the given text and does not throw.
class ScopedAefxSuite {
  public:
    ScopedAefxSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                    const char* acquireText, const char* releaseText);
    ~ScopedAefxSuite();
    ScopedAefxSuite(const ScopedAefxSuite&) = delete;
    ScopedAefxSuite& operator=(const ScopedAefxSuite&) = delete;

    // The suite, or nullptr when it could not be acquired.
    void* get() const { return suite_; }

  private:
    PF_InData* in_data_;
    PF_OutData* out_data_;
    const char* name_;
    int32 version_;
    const char* releaseText_;
    void* suite_ = nullptr;
};
