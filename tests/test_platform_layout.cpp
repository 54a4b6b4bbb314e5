// Binary layout of the host API records and the values of key constants, as measured on the
// host's own declarations for Windows x64.
#include <gtest/gtest.h>

#include <cstddef>

#include "AE_AdvEffectSuites.h"
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "AE_EffectUI.h"
#include "AE_GeneralPlug.h"
#include "DrawbotSuite.h"
#include "SPBasic.h"

TEST(PlatformLayout, EffectRecordSizes) {
    EXPECT_EQ(sizeof(PF_InData), 408u);
    EXPECT_EQ(sizeof(PF_OutData), 408u);
    EXPECT_EQ(sizeof(PF_ParamDef), 176u);
    EXPECT_EQ(offsetof(PF_ParamDef, u), 56u);
    EXPECT_EQ(sizeof(PF_ParamDefUnion), 120u);
    EXPECT_EQ(sizeof(PF_LayerDef), 120u);
    EXPECT_EQ(sizeof(PF_InteractCallbacks), 176u);
    EXPECT_EQ(sizeof(PF_UtilCallbacks), 552u);
    EXPECT_EQ(sizeof(PF_EventExtra), 208u);
    EXPECT_EQ(sizeof(PF_RenderRequest), 44u);
    EXPECT_EQ(sizeof(PF_CheckoutResult), 76u);
    EXPECT_EQ(sizeof(PF_PreRenderOutput), 56u);
    EXPECT_EQ(sizeof(PF_CustomUIInfo), 44u);
}

TEST(PlatformLayout, FieldOffsetsThatCallersDependOn) {
    EXPECT_EQ(offsetof(PF_InData, inter), 0u);
    EXPECT_EQ(offsetof(PF_InData, utils), 176u);
    EXPECT_EQ(offsetof(PF_InData, effect_ref), 184u);
    EXPECT_EQ(offsetof(PF_InData, version), 196u);
    EXPECT_EQ(offsetof(PF_InData, global_data), 312u);
    EXPECT_EQ(offsetof(PF_InData, pica_basicP), 384u);
    EXPECT_EQ(offsetof(PF_OutData, global_data), 40u);
    EXPECT_EQ(offsetof(PF_OutData, out_flags), 96u);
    EXPECT_EQ(offsetof(PF_OutData, return_msg), 100u);
    EXPECT_EQ(offsetof(PF_OutData, out_flags2), 400u);
    EXPECT_EQ(offsetof(PF_UtilCallbacks, copy), 64u);
    EXPECT_EQ(offsetof(PF_UtilCallbacks, host_new_handle), 160u);
    EXPECT_EQ(offsetof(PF_UtilCallbacks, ansi), 208u);
    EXPECT_EQ(offsetof(PF_ANSICallbacks, sprintf), 120u);
    EXPECT_EQ(offsetof(PF_EventExtra, e_type), 8u);
    EXPECT_EQ(offsetof(PF_EventExtra, effect_win), 80u);
    EXPECT_EQ(offsetof(PF_EventExtra, evt_out_flags), 204u);
}

TEST(PlatformLayout, StreamValues) {
    EXPECT_EQ(sizeof(AEGP_StreamVal2), 32u);
    EXPECT_EQ(sizeof(AEGP_StreamValue2), 40u);
    EXPECT_EQ(offsetof(AEGP_StreamValue2, val), 8u);
    EXPECT_EQ(sizeof(AEGP_StreamValue), 40u);
    EXPECT_EQ(sizeof(AEGP_KeyframeEase), 16u);
}

// A suite is a table of function pointers: its member count fixes where each call lands.
TEST(PlatformLayout, SuiteMemberPositions) {
    const size_t p = sizeof(void*);
    EXPECT_EQ(offsetof(AEGP_UtilitySuite5, AEGP_ExecuteScript), 27 * p);
    EXPECT_EQ(offsetof(AEGP_UtilitySuite5, AEGP_RegisterWithAEGP), 8 * p);
    EXPECT_EQ(sizeof(AEGP_UtilitySuite4), 30 * p);
    EXPECT_EQ(sizeof(AEGP_UtilitySuite5), 31 * p);
    EXPECT_EQ(sizeof(AEGP_PFInterfaceSuite1), 5 * p);
    EXPECT_EQ(offsetof(AEGP_MemorySuite1, AEGP_FreeMemHandle), 1 * p);
    EXPECT_EQ(offsetof(AEGP_MemorySuite1, AEGP_GetMemHandleSize), 4 * p);
    EXPECT_EQ(sizeof(AEGP_MemorySuite1), 8 * p);
    EXPECT_EQ(offsetof(AEGP_EffectSuite2, AEGP_DisposeEffect), 8 * p);
    EXPECT_EQ(offsetof(AEGP_EffectSuite3, AEGP_DisposeEffect), 8 * p);
    EXPECT_EQ(sizeof(AEGP_EffectSuite3), 17 * p);
    EXPECT_EQ(sizeof(AEGP_LayerSuite7), 48 * p);
    EXPECT_EQ(offsetof(AEGP_LayerSuite7, AEGP_GetLayerFromLayerID), 45 * p);
    EXPECT_EQ(offsetof(AEGP_LayerSuite7, AEGP_GetLayerToWorldXform), 38 * p);
    EXPECT_EQ(sizeof(AEGP_StreamSuite2), 22 * p);
    EXPECT_EQ(sizeof(AEGP_StreamSuite4), 22 * p);
    EXPECT_EQ(offsetof(AEGP_StreamSuite4, AEGP_GetNewStreamValue), 13 * p);
    EXPECT_EQ(offsetof(AEGP_StreamSuite2, AEGP_GetNewStreamValue), 13 * p);
    EXPECT_EQ(sizeof(AEGP_KeyframeSuite4), 20 * p);
    EXPECT_EQ(offsetof(AEGP_KeyframeSuite4, AEGP_SetKeyframeInterpolation), 15 * p);
    EXPECT_EQ(sizeof(AEGP_CompSuite7), 34 * p);
    EXPECT_EQ(sizeof(AEGP_CompSuite8), 37 * p);
    EXPECT_EQ(offsetof(AEGP_CompSuite7, AEGP_GetCompFrameDuration), 30 * p);
    EXPECT_EQ(offsetof(AEGP_CompSuite8, AEGP_GetCompFrameDuration), 31 * p);
    EXPECT_EQ(offsetof(AEGP_CompSuite8, AEGP_GetCompWorkAreaDuration), 14 * p);
    EXPECT_EQ(sizeof(AEGP_ItemSuite8), 27 * p);
    EXPECT_EQ(offsetof(AEGP_ItemSuite8, AEGP_GetItemDimensions), 16 * p);
    EXPECT_EQ(offsetof(PF_AdvAppSuite2, PF_InfoDrawText), 6 * p);
    EXPECT_EQ(sizeof(PF_HandleSuite1), 6 * p);
    EXPECT_EQ(offsetof(PF_WorldSuite2, PF_GetPixelFormat), 2 * p);
    EXPECT_EQ(offsetof(DRAWBOT_SupplierSuite1, NewImageFromBuffer), 5 * p);
    EXPECT_EQ(offsetof(DRAWBOT_SupplierSuite1, ReleaseObject), 12 * p);
    EXPECT_EQ(offsetof(DRAWBOT_SurfaceSuite1, DrawImage), 10 * p);
    EXPECT_EQ(sizeof(DRAWBOT_SurfaceSuite2), 17 * p);
    EXPECT_EQ(sizeof(SPBasicSuite), 7 * p);
}

// Scalar types whose width the host's headers fix: a wider one would make the host write past
// or short of what the plug-in reads.
TEST(PlatformLayout, ScalarTypeWidths) {
    EXPECT_EQ(sizeof(AEGP_ItemType), 2u);
    EXPECT_EQ(sizeof(AEGP_LTimeMode), 2u);
    EXPECT_EQ(sizeof(SPBoolean), 4u);  // 1 on macOS
    EXPECT_EQ(sizeof(A_Boolean), 1u);
}

TEST(PlatformLayout, CommandAndFlagValues) {
    EXPECT_EQ(PF_Cmd_ABOUT, 0);
    EXPECT_EQ(PF_Cmd_GLOBAL_SETDOWN, 3);
    EXPECT_EQ(PF_Cmd_RENDER, 11);
    EXPECT_EQ(PF_Cmd_USER_CHANGED_PARAM, 13);
    EXPECT_EQ(PF_Cmd_EVENT, 15);
    EXPECT_EQ(PF_Cmd_SMART_PRE_RENDER, 23);
    EXPECT_EQ(PF_Cmd_SMART_RENDER, 24);
    EXPECT_EQ(PF_Cmd_NUM_CMDS, 34);
    EXPECT_EQ(PF_Err_INTERNAL_STRUCT_DAMAGED, 512);
    EXPECT_EQ(PF_Err_BAD_CALLBACK_PARAM, 516);
    EXPECT_EQ(PF_Err_CANNOT_PARSE_KEYFRAME_TEXT, 518);
    EXPECT_EQ(PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0x100);
    EXPECT_EQ(PF_OutFlag_CUSTOM_UI, 0x8000);
    EXPECT_EQ(PF_OutFlag_FORCE_RERENDER, 0x400000);
    EXPECT_EQ(PF_OutFlag_DEEP_COLOR_AWARE, 0x2000000);
    EXPECT_EQ(PF_OutFlag2_SUPPORTS_SMART_RENDER, 0x400);
    EXPECT_EQ(PF_OutFlag2_FLOAT_COLOR_AWARE, 0x1000);
    EXPECT_EQ(PF_Param_FLOAT_SLIDER, 10);
    EXPECT_EQ(PF_Param_BUTTON, 15);
    EXPECT_EQ(PF_Param_POINT_3D, 18);
    EXPECT_EQ(PF_PUI_DISABLED, 32);
    EXPECT_EQ(PF_ParamFlag_SUPERVISE, 64);
    EXPECT_EQ(PF_Event_DRAW, 4);
    EXPECT_EQ(PF_EA_CONTROL, 2);
    EXPECT_EQ(PF_PixelFormat_ARGB32, 0x62677261);
    EXPECT_EQ(PF_PixelFormat_ARGB64, 0x36316561);
    EXPECT_EQ(PF_PixelFormat_ARGB128, 0x32336561);
    EXPECT_EQ(kDRAWBOT_PixelLayout_32BGRA_Straight, 6);
    EXPECT_EQ(kPFHandleSuiteVersion1, 2);
    EXPECT_EQ(kPFParamUtilsSuiteVersion1, 2);
    EXPECT_EQ(kAEGPLayerSuiteVersion7, 13);
    EXPECT_EQ(kAEGPStreamSuiteVersion2, 7);
    EXPECT_EQ(kAEGPStreamSuiteVersion4, 9);
    EXPECT_EQ(kAEGPCompSuiteVersion7, 15);
    EXPECT_EQ(kAEGPCompSuiteVersion8, 18);
    EXPECT_EQ(kAEGPItemSuiteVersion8, 13);
    EXPECT_EQ(kAEGPUtilitySuiteVersion4, 10);
    EXPECT_EQ(kAEGPUtilitySuiteVersion5, 11);
    EXPECT_EQ(kDRAWBOT_SurfaceSuite_VersionCurrent, 2);
    EXPECT_EQ(AEGP_LayerFlag_LOCKED | AEGP_LayerFlag_ADJUSTMENT_LAYER | AEGP_LayerFlag_NULL_LAYER |
                  AEGP_LayerFlag_GUIDE_LAYER,
              0x50220);
}

TEST(PlatformLayout, VersionPacking) {
    EXPECT_EQ(PF_VERSION(1, 0, 0, PF_Stage_RELEASE, 0), 0x80600u);
    EXPECT_EQ(PF_VERSION(2, 6, 0, PF_Stage_DEVELOP, 0), 0x130000u);
    EXPECT_EQ(PF_VERSION(1, 0, 0, PF_Stage_RELEASE, 1), 0x80601u);
    const A_u_long v = PF_VERSION(13, 5, 2, PF_Stage_BETA, 77);
    EXPECT_EQ(PF_Version_VERS(v), 13u);
    EXPECT_EQ(PF_Version_SUBVERS(v), 5u);
    EXPECT_EQ(PF_Version_BUGFIX(v), 2u);
    EXPECT_EQ(PF_Version_STAGE(v), (A_u_long)PF_Stage_BETA);
    EXPECT_EQ(PF_Version_BUILD(v), 77u);
}
