#include "host/SuiteServices.h"

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "AE_EffectCB.h"

namespace {

constexpr const char* kAcquireFailed = "Not able to acquire AEFX Suite.";
constexpr const char* kReleaseFailed = "Not able to release AEFX Suite.";

struct DrawbotSuiteId {
    const char* name;
    int32 version;
};

// The drawing suites the custom UI uses, version 1 each, in acquisition order.
const DrawbotSuiteId kDrawbotSuites[] = {
    {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1},
    {kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1},
    {kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1},
    {kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1},
};
constexpr int kDrawbotSuiteCount = 4;

// Which drawing suites are held: the release call takes no list of its own, and the host calls
// the plug-in for one command at a time.
bool drawbotHeld[kDrawbotSuiteCount] = {};

PF_Err reportSuiteFailure(PF_InData* in_data, PF_OutData* out_data, const char* message) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    PF_SPRINTF(out_data->return_msg, "%s", message);
    return PF_Err_BAD_CALLBACK_PARAM;
}

void** drawbotSlot(DRAWBOT_Suites* suites, int which) {
    void** slots[kDrawbotSuiteCount] = {reinterpret_cast<void**>(&suites->drawbot_suiteP),
                                        reinterpret_cast<void**>(&suites->supplier_suiteP),
                                        reinterpret_cast<void**>(&suites->surface_suiteP),
                                        reinterpret_cast<void**>(&suites->path_suiteP)};
    return slots[which];
}

}  // namespace

void throwMissingSuite() {
    throw static_cast<A_long>(PF_Err_BAD_CALLBACK_PARAM);
}

void AEGP_SuiteHandler::MissingSuiteError() const {
    throwMissingSuite();
}

PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* error_stringPC0, void** suite) {
    const void* acquired = nullptr;
    const SPBasicSuite* basic = in_data->pica_basicP;
    *suite = nullptr;
    const SPErr err = basic ? basic->AcquireSuite(name, version, &acquired) : kSPNoError;
    if (basic && !err && acquired) {
        *suite = const_cast<void*>(acquired);
        return PF_Err_NONE;
    }
    // A suite handed out along with an error counts as acquired: given back once.
    if (err && acquired) basic->ReleaseSuite(name, version);
    return reportSuiteFailure(in_data, out_data,
                              error_stringPC0 ? error_stringPC0 : kAcquireFailed);
}

PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* error_stringPC0) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    if (basic && basic->ReleaseSuite(name, version) == kSPNoError) return PF_Err_NONE;
    return reportSuiteFailure(in_data, out_data,
                              error_stringPC0 ? error_stringPC0 : kReleaseFailed);
}

PF_Err AEFX_AcquireDrawbotSuites(PF_InData* in_data, PF_OutData* out_data,
                                 DRAWBOT_Suites* suitesP) {
    for (int i = 0; i < kDrawbotSuiteCount; ++i) {
        const DrawbotSuiteId& id = kDrawbotSuites[i];
        const PF_Err err = AEFX_AcquireSuite(in_data, out_data, id.name, id.version, nullptr,
                                             drawbotSlot(suitesP, i));
        if (err) return err;
        drawbotHeld[i] = true;
    }
    return PF_Err_NONE;
}

// Releases the drawing suites acquired above, also after an acquisition that stopped halfway.
PF_Err AEFX_ReleaseDrawbotSuites(PF_InData* in_data, PF_OutData* out_data) {
    PF_Err err = PF_Err_NONE;
    for (int i = 0; i < kDrawbotSuiteCount; ++i) {
        if (!drawbotHeld[i]) continue;
        drawbotHeld[i] = false;
        const DrawbotSuiteId& id = kDrawbotSuites[i];
        const PF_Err err2 = AEFX_ReleaseSuite(in_data, out_data, id.name, id.version, nullptr);
        if (!err) err = err2;
    }
    return err;
}

ScopedAefxSuite::ScopedAefxSuite(PF_InData* in_data, PF_OutData* out_data, const char* name,
                                 int32 version, const char* acquireText, const char* releaseText)
    : in_data_(in_data),
      out_data_(out_data),
      name_(name),
      version_(version),
      releaseText_(releaseText) {
    AEFX_AcquireSuite(in_data_, out_data_, name_, version_, acquireText, &suite_);
}

ScopedAefxSuite::~ScopedAefxSuite() {
    // Released once; a refusal is shown by AEFX_ReleaseSuite with its text (not asked again, as
    // giveBack in host/HostObjects.h explains).
    if (suite_) AEFX_ReleaseSuite(in_data_, out_data_, name_, version_, releaseText_);
}
