#pragma once
// Advanced application suite: project and Info panel services for effects.
#include "AE_Effect.h"
#include "SPBasic.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFAdvAppSuite "PF AE Adv App Suite"
#define kPFAdvAppSuiteVersion1 1
#define kPFAdvAppSuiteVersion2 2

typedef struct PF_AdvAppSuite2 {
    SPAPI PF_Err (*PF_SetProjectDirty)(void);
    SPAPI PF_Err (*PF_SaveProject)(void);
    SPAPI PF_Err (*PF_SaveBackgroundState)(void);
    SPAPI PF_Err (*PF_ForceForeground)(void);
    SPAPI PF_Err (*PF_RestoreBackgroundState)(void);
    SPAPI PF_Err (*PF_RefreshAllWindows)(void);
    SPAPI PF_Err (*PF_InfoDrawText)(const A_char* line1Z0, const A_char* line2Z0);
    SPAPI PF_Err (*PF_InfoDrawColor)(PF_Pixel color);
    SPAPI PF_Err (*PF_InfoDrawText3)(const A_char* line1Z0, const A_char* line2Z0,
                                     const A_char* line3Z0);
    SPAPI PF_Err (*PF_InfoDrawText3Plus)(const A_char* line1Z0, const A_char* line2_jrZ0,
                                         const A_char* line2_jlZ0, const A_char* line3_jrZ0,
                                         const A_char* line3_jlZ0);
    SPAPI PF_Err (*PF_AppendInfoText)(const A_char* appendZ0);
} PF_AdvAppSuite2;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
