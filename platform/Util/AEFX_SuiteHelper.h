#pragma once
// Suite acquisition that reports failure through PF_OutData instead of throwing (defined by the
// plug-in).
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "DrawbotSuite.h"
#include "SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

// On failure: *suite is NULL, out flag DISPLAY_ERROR_MESSAGE is set, the message (or a default
// text) goes into out_data->return_msg, and PF_Err_BAD_CALLBACK_PARAM is returned.
PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* error_stringPC0, void** suite);

PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32 version,
                         const char* error_stringPC0);

// The draw, supplier, surface and path suites, version 1 each. Stops at the first failure; the
// suites acquired until then stay held until AEFX_ReleaseDrawbotSuites.
PF_Err AEFX_AcquireDrawbotSuites(PF_InData* in_data, PF_OutData* out_data, DRAWBOT_Suites* suitesP);

// Releases the drawing suites held by AEFX_AcquireDrawbotSuites (none: returns 0).
PF_Err AEFX_ReleaseDrawbotSuites(PF_InData* in_data, PF_OutData* out_data);

#ifdef __cplusplus
}
#endif
