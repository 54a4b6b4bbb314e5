#pragma once
// Callback suites of the effect API: handles and worlds.
#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectCB.h"
#include "SPBasic.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 2  // the suite's first version carries the number 2

typedef struct PF_HandleSuite1 {
    SPAPI PF_Handle (*host_new_handle)(A_HandleSize size);
    SPAPI void* (*host_lock_handle)(PF_Handle pf_handle);
    SPAPI void (*host_unlock_handle)(PF_Handle pf_handle);
    SPAPI void (*host_dispose_handle)(PF_Handle pf_handle);
    SPAPI A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    SPAPI PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
} PF_HandleSuite1;

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion1 1
#define kPFWorldSuiteVersion2 2

typedef struct PF_WorldSuite1 {
    SPAPI PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height,
                              PF_NewWorldFlags flags, PF_EffectWorld* world);
    SPAPI PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
} PF_WorldSuite1;

typedef struct PF_WorldSuite2 {
    SPAPI PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL,
                                PF_Boolean clear_pixB, PF_PixelFormat pixel_format,
                                PF_EffectWorld* worldP);
    SPAPI PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
    SPAPI PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
} PF_WorldSuite2;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
