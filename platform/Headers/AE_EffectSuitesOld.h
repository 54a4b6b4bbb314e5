#pragma once
// Earlier versions of effect suites, still served by the host.
#include "AE_Effect.h"
#include "AE_EffectUI.h"
#include "SPBasic.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFParamUtilsSuiteVersion1 2  // the suite's first version carries the number 2

// Only the members this plug-in calls are declared; the host's table is longer.
typedef struct PF_ParamUtilsSuite1 {
    SPAPI PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                     const PF_ParamDef* defP);
} PF_ParamUtilsSuite1;

#define kPFEffectCustomUISuiteVersion1 1

typedef struct PF_EffectCustomUISuite1 {
    SPAPI PF_Err (*PF_GetDrawingReference)(const PF_ContextH effect_contextH,
                                           DRAWBOT_DrawRef* referenceP0);
} PF_EffectCustomUISuite1;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
