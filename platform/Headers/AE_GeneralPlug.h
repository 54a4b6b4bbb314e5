#pragma once
// The AEGP interface: project handles, stream value types and their enumerations. The suite
// versions this plug-in uses are in AE_GeneralPlugOld.h, included at the end.
#include "A.h"
#include "AE_Effect.h"
#include "SPBasic.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- handles and ids
typedef struct _AEGP_Project** AEGP_ProjectH;
typedef struct _AEGP_Item** AEGP_ItemH;
typedef struct _AEGP_Comp** AEGP_CompH;
typedef struct _AEGP_Footage** AEGP_FootageH;
typedef struct _AEGP_Layer** AEGP_LayerH;
typedef struct _AEGP_EffectRefH** AEGP_EffectRefH;
typedef struct _AEGP_MaskRefH** AEGP_MaskRefH;
typedef struct _AEGP_StreamRef** AEGP_StreamRefH;
typedef struct _AEGP_AddKeyframesInfo** AEGP_AddKeyframesInfoH;
typedef struct _AEGP_Collection2** AEGP_Collection2H;
typedef struct _AEGP_MaskOutlineVal** AEGP_MaskOutlineValH;
typedef struct _AEGP_TextDocument** AEGP_TextDocumentH;
typedef struct _AEGP_ItemView* AEGP_ItemViewP;
typedef struct _AEGP_MarkerVal* AEGP_MarkerValP;
typedef const struct _AEGP_MarkerVal* AEGP_ConstMarkerValP;
typedef struct _AEGP_GlobalRefcon* AEGP_GlobalRefcon;

typedef A_long AEGP_PluginID;
typedef A_long AEGP_LayerIDVal;
typedef A_long AEGP_MaskIDVal;
typedef A_long AEGP_KeyframeIndex;
typedef A_long AEGP_EffectIndex;
typedef A_long AEGP_InstalledEffectKey;
typedef A_long AEGP_StreamType;
typedef A_long AEGP_LayerStream;
typedef A_long AEGP_MaskStream;
typedef A_long AEGP_LayerFlags;
typedef A_long AEGP_ObjectType;
typedef A_long AEGP_KeyframeInterpolationType;
typedef A_long AEGP_KeyInterpolationMask;
typedef A_long AEGP_KeyframeFlags;
typedef A_long AEGP_StreamFlags;
typedef A_long AEGP_EffectFlags;
typedef A_long AEGP_CompFlags;
typedef A_short AEGP_ItemType;
typedef A_long AEGP_ItemFlags;
typedef A_long AEGP_TransferFlags;
typedef A_long AEGP_TrackMatte;
typedef A_long PF_TransferMode;
typedef A_char AEGP_LabelID;
typedef A_short AEGP_LTimeMode;
typedef A_short AEGP_LayerQuality;

enum { AEGP_LayerIDVal_NONE = 0 };
#define AEGP_Index_NONE ((A_long)0x80000000)

typedef struct {
    A_FpLong alphaF, redF, greenF, blueF;
} AEGP_ColorVal;

typedef struct {
    A_short xS;
    A_short yS;
} AEGP_DownsampleFactor;

typedef struct {
    PF_TransferMode mode;
    AEGP_TransferFlags flags;
    AEGP_TrackMatte track_matte;
} AEGP_LayerTransferMode;

typedef struct {
    A_long reservedAL[12];
} AEGP_ErrReportState;

// ---------------------------------------------------------------- enumerations
enum {
    AEGP_LayerFlag_NONE = 0x00000000,
    AEGP_LayerFlag_VIDEO_ACTIVE = 0x00000001,
    AEGP_LayerFlag_AUDIO_ACTIVE = 0x00000002,
    AEGP_LayerFlag_EFFECTS_ACTIVE = 0x00000004,
    AEGP_LayerFlag_MOTION_BLUR = 0x00000008,
    AEGP_LayerFlag_FRAME_BLENDING = 0x00000010,
    AEGP_LayerFlag_LOCKED = 0x00000020,
    AEGP_LayerFlag_SHY = 0x00000040,
    AEGP_LayerFlag_COLLAPSE = 0x00000080,
    AEGP_LayerFlag_AUTO_ORIENT_ROTATION = 0x00000100,
    AEGP_LayerFlag_ADJUSTMENT_LAYER = 0x00000200,
    AEGP_LayerFlag_TIME_REMAPPING = 0x00000400,
    AEGP_LayerFlag_LAYER_IS_3D = 0x00000800,
    AEGP_LayerFlag_LOOK_AT_CAMERA = 0x00001000,
    AEGP_LayerFlag_LOOK_AT_POI = 0x00002000,
    AEGP_LayerFlag_SOLO = 0x00004000,
    AEGP_LayerFlag_MARKERS_LOCKED = 0x00008000,
    AEGP_LayerFlag_NULL_LAYER = 0x00010000,
    AEGP_LayerFlag_HIDE_LOCKED_MASKS = 0x00020000,
    AEGP_LayerFlag_GUIDE_LAYER = 0x00040000,
    AEGP_LayerFlag_ADVANCED_FRAME_BLENDING = 0x00080000,
    AEGP_LayerFlag_SUBLAYERS_RENDER_SEPARATELY = 0x00100000,
    AEGP_LayerFlag_ENVIRONMENT_LAYER = 0x00200000
};

enum {
    AEGP_ObjectType_NONE = -1,
    AEGP_ObjectType_AV = 0,
    AEGP_ObjectType_LIGHT = 1,
    AEGP_ObjectType_CAMERA = 2,
    AEGP_ObjectType_TEXT = 3,
    AEGP_ObjectType_VECTOR = 4,
    AEGP_ObjectType_RESERVED1 = 5,
    AEGP_ObjectType_RESERVED2 = 6,
    AEGP_ObjectType_RESERVED3 = 7,
    AEGP_ObjectType_RESERVED4 = 8,
    AEGP_ObjectType_RESERVED5 = 9,
    AEGP_ObjectType_NUM_TYPES = 10
};

enum { AEGP_LTimeMode_LayerTime = 0, AEGP_LTimeMode_CompTime = 1 };

enum {
    AEGP_LayerStream_NONE = -1,
    AEGP_LayerStream_ANCHORPOINT = 0,
    AEGP_LayerStream_POSITION = 1,
    AEGP_LayerStream_SCALE = 2,
    AEGP_LayerStream_ROTATION = 3,
    AEGP_LayerStream_ROTATE_Z = AEGP_LayerStream_ROTATION,
    AEGP_LayerStream_OPACITY = 4,
    AEGP_LayerStream_AUDIO = 5,
    AEGP_LayerStream_MARKER = 6,
    AEGP_LayerStream_TIME_REMAP = 7,
    AEGP_LayerStream_ROTATE_X = 8,
    AEGP_LayerStream_ROTATE_Y = 9,
    AEGP_LayerStream_ORIENTATION = 10,
    AEGP_LayerStream_ZOOM = 11,
    AEGP_LayerStream_DEPTH_OF_FIELD = 12,
    AEGP_LayerStream_FOCUS_DISTANCE = 13,
    AEGP_LayerStream_APERTURE = 14,
    AEGP_LayerStream_BLUR_LEVEL = 15,
    AEGP_LayerStream_INTENSITY = 16,
    AEGP_LayerStream_COLOR = 17,
    AEGP_LayerStream_CONE_ANGLE = 18
};

enum {
    AEGP_StreamType_NO_DATA = 0,
    AEGP_StreamType_ThreeD_SPATIAL,
    AEGP_StreamType_ThreeD,
    AEGP_StreamType_TwoD_SPATIAL,
    AEGP_StreamType_TwoD,
    AEGP_StreamType_OneD,
    AEGP_StreamType_COLOR,
    AEGP_StreamType_ARB,
    AEGP_StreamType_MARKER,
    AEGP_StreamType_LAYER_ID,
    AEGP_StreamType_MASK_ID,
    AEGP_StreamType_MASK,
    AEGP_StreamType_TEXT_DOCUMENT
};

enum {
    AEGP_KeyInterp_NONE = 0,
    AEGP_KeyInterp_LINEAR,
    AEGP_KeyInterp_BEZIER,
    AEGP_KeyInterp_HOLD,
    AEGP_Interp_NUM_VALUES
};

enum {
    AEGP_KeyInterpMask_NONE = 0,
    AEGP_KeyInterpMask_LINEAR = 1L << 0,
    AEGP_KeyInterpMask_BEZIER = 1L << 1,
    AEGP_KeyInterpMask_HOLD = 1L << 2,
    AEGP_KeyInterpMask_CUSTOM = 1L << 3,
    AEGP_KeyInterpMask_ANY = 0xFFFF
};

enum {
    AEGP_KeyframeFlag_NONE = 0x00,
    AEGP_KeyframeFlag_TEMPORAL_CONTINUOUS = 0x01,
    AEGP_KeyframeFlag_TEMPORAL_AUTOBEZIER = 0x02,
    AEGP_KeyframeFlag_SPATIAL_CONTINUOUS = 0x04,
    AEGP_KeyframeFlag_SPATIAL_AUTOBEZIER = 0x08,
    AEGP_KeyframeFlag_ROVING = 0x10
};

enum { AEGP_NumKF_NO_DATA = -1 };

enum {
    AEGP_StreamFlag_NONE = 0,
    AEGP_StreamFlag_HAS_MIN = 0x01,
    AEGP_StreamFlag_HAS_MAX = 0x02,
    AEGP_StreamFlag_IS_SPATIAL = 0x04
};

enum {
    AEGP_EffectFlags_NONE = 0,
    AEGP_EffectFlags_ACTIVE = 1L << 0,
    AEGP_EffectFlags_AUDIO_ONLY = 1L << 1,
    AEGP_EffectFlags_AUDIO_TOO = 1L << 2,
    AEGP_EffectFlags_MISSING = 1L << 3
};

enum {
    AEGP_LayerQual_NONE = -1,
    AEGP_LayerQual_WIREFRAME = 0,
    AEGP_LayerQual_DRAFT = 1,
    AEGP_LayerQual_BEST = 2
};

// ---------------------------------------------------------------- stream values
typedef A_FpLong AEGP_OneDVal;

typedef struct {
    A_FpLong x, y;
} AEGP_TwoDVal;

typedef struct {
    A_FpLong x, y, z;
} AEGP_ThreeDVal;

typedef A_FpLong AEGP_FourDVal[4];

typedef A_Handle AEGP_ArbBlockVal;

typedef struct {
    A_FpLong speedF;
    A_FpLong influenceF;
} AEGP_KeyframeEase;

typedef union {
    AEGP_FourDVal four_d;
    AEGP_ThreeDVal three_d;
    AEGP_TwoDVal two_d;
    AEGP_OneDVal one_d;
    AEGP_ColorVal color;
    AEGP_ArbBlockVal arbH;
    AEGP_MarkerValP markerP;
    AEGP_LayerIDVal layer_id;
    AEGP_MaskIDVal mask_id;
    AEGP_MaskOutlineValH mask;
    AEGP_TextDocumentH text_documentH;
} AEGP_StreamVal2;

typedef struct {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal2 val;
} AEGP_StreamValue2;

// ---------------------------------------------------------------- suite names
#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPItemSuite "AEGP Item Suite"
#define kAEGPMemorySuite "AEGP Memory Suite"
#define kAEGPMemorySuiteVersion1 1

enum { AEGP_MemFlag_NONE = 0, AEGP_MemFlag_CLEAR = 1, AEGP_MemFlag_QUIET = 2 };
typedef A_long AEGP_MemFlag;
typedef A_u_long AEGP_MemSize;

typedef struct AEGP_MemorySuite1 {
    SPAPI A_Err (*AEGP_NewMemHandle)(AEGP_PluginID plugin_id, const A_char* whatZ,
                                     AEGP_MemSize size, AEGP_MemFlag flags, AEGP_MemHandle* memPH);
    SPAPI A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle memH);
    SPAPI A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptr_to_ptr);
    SPAPI A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);
    SPAPI A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle memH, AEGP_MemSize* sizeP);
    SPAPI A_Err (*AEGP_ResizeMemHandle)(const A_char* whatZ, AEGP_MemSize new_size,
                                        AEGP_MemHandle memH);
    SPAPI A_Err (*AEGP_SetMemReportingOn)(A_Boolean turn_OnB);
    SPAPI A_Err (*AEGP_GetMemStats)(AEGP_PluginID plugin_id, A_long* countPL, A_long* sizePL);
} AEGP_MemorySuite1;

typedef struct AEGP_PFInterfaceSuite1 {
    SPAPI A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_pp_ref, AEGP_LayerH* layerPH);
    SPAPI A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id,
                                              PF_ProgPtr effect_pp_ref,
                                              AEGP_EffectRefH* effect_refPH);
    SPAPI A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_pp_ref, A_long what_timeL,
                                                A_u_long time_scaleLu, A_Time* comp_timePT);
    SPAPI A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                        AEGP_LayerH* camera_layerPH);
    SPAPI A_Err (*AEGP_GetEffectCameraMatrix)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                              A_Matrix4* camera_matrixP,
                                              A_FpLong* dist_to_image_planePF,
                                              A_short* image_plane_widthPL,
                                              A_short* image_plane_heightPL);
} AEGP_PFInterfaceSuite1;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)

#include "AE_GeneralPlugOld.h"
