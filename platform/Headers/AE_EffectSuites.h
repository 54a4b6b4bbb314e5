#pragma once
// Effect suites: parameter utilities and custom UI.
#include "AE_Effect.h"
#include "AE_EffectUI.h"
#include "SPBasic.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion3 3

// Only the members this plug-in calls are declared; the host's table is longer.
typedef struct PF_ParamUtilsSuite3 {
    SPAPI PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                     const PF_ParamDef* defP);
} PF_ParamUtilsSuite3;

#define kPFEffectCustomUISuite "PF Effect Custom UI Suite"
#define kPFEffectCustomUISuiteVersion2 2

typedef struct _PF_AsyncManager* PF_AsyncManagerP;

typedef struct PF_EffectCustomUISuite2 {
    SPAPI PF_Err (*PF_GetDrawingReference)(const PF_ContextH effect_contextH,
                                           DRAWBOT_DrawRef* referenceP0);
    SPAPI PF_Err (*PF_GetContextAsyncManager)(PF_InData* in_data, PF_EventExtra* extra,
                                              PF_AsyncManagerP* managerPP0);
} PF_EffectCustomUISuite2;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)

#include "AE_EffectSuitesOld.h"
