#include "AEGP_SuiteHandler.h"

namespace {

struct SuiteId {
    const char* name;
    int32 version;
};

// Indexed by AEGP_SuiteHandler::Slot.
const SuiteId kSuiteIds[] = {
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion4},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion5},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion2},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion3},
    {kAEGPLayerSuite, kAEGPLayerSuiteVersion7},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion2},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion4},
    {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion4},
    {kAEGPCompSuite, kAEGPCompSuiteVersion7},
    {kAEGPCompSuite, kAEGPCompSuiteVersion8},
    {kAEGPItemSuite, kAEGPItemSuiteVersion8},
    {kAEGPMemorySuite, kAEGPMemorySuiteVersion1},
    {kPFAdvAppSuite, kPFAdvAppSuiteVersion2},
    {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3},
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1},
    {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_VersionCurrent},
    {kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_VersionCurrent},
    {kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_VersionCurrent},
    {kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_VersionCurrent},
};

}  // namespace

AEGP_SuiteHandler::AEGP_SuiteHandler(const SPBasicSuite* pica_basicP)
    : i_pica_basicP(pica_basicP), i_suites() {
    static_assert(sizeof(kSuiteIds) / sizeof(kSuiteIds[0]) == kSlotCount, "one suite id per slot");
    if (!i_pica_basicP) MissingSuiteError();
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() {
    ReleaseAllSuites();
}

const void* AEGP_SuiteHandler::LoadSuite(Slot slot) const {
    if (!i_suites[slot]) {
        const void* suite = nullptr;
        const SuiteId& id = kSuiteIds[slot];
        SPErr err = i_pica_basicP->AcquireSuite(id.name, id.version, &suite);
        // A suite handed out along with an error counts as acquired: given back once.
        if (err != kSPNoError && suite) i_pica_basicP->ReleaseSuite(id.name, id.version);
        if (err != kSPNoError || !suite) MissingSuiteError();
        i_suites[slot] = suite;
    }
    return i_suites[slot];
}

void AEGP_SuiteHandler::ReleaseAllSuites() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (!i_suites[slot]) continue;
        // Released once, whatever the answer: a refusal may come after the host let go of the
        // suite, and a second release could then release it twice.
        i_pica_basicP->ReleaseSuite(kSuiteIds[slot].name, kSuiteIds[slot].version);
        i_suites[slot] = nullptr;
    }
}
