#pragma once
// Types of the drawing suites used by custom effect UI.
#include <stdint.h>

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _DRAWBOT_DrawRef* DRAWBOT_DrawRef;
typedef struct _DRAWBOT_SupplierRef* DRAWBOT_SupplierRef;
typedef struct _DRAWBOT_SurfaceRef* DRAWBOT_SurfaceRef;
typedef struct _DRAWBOT_ObjectRef* DRAWBOT_ObjectRef;
typedef struct _DRAWBOT_PenRef* DRAWBOT_PenRef;
typedef struct _DRAWBOT_PathRef* DRAWBOT_PathRef;
typedef struct _DRAWBOT_BrushRef* DRAWBOT_BrushRef;
typedef struct _DRAWBOT_ImageRef* DRAWBOT_ImageRef;
typedef struct _DRAWBOT_FontRef* DRAWBOT_FontRef;

typedef uint8_t DRAWBOT_Boolean;
typedef uint16_t DRAWBOT_UTF16Char;

typedef struct {
    float red, green, blue, alpha;
} DRAWBOT_ColorRGBA;

typedef struct {
    float x, y;
} DRAWBOT_PointF32;

typedef struct {
    float left, top, width, height;
} DRAWBOT_RectF32;

typedef struct {
    int left, top, width, height;
} DRAWBOT_Rect32;

typedef struct {
    float mat[3][3];
} DRAWBOT_MatrixF32;

typedef int DRAWBOT_PixelLayout;
enum {
    kDRAWBOT_PixelLayout_24RGB = 0,
    kDRAWBOT_PixelLayout_24BGR,
    kDRAWBOT_PixelLayout_32RGB,
    kDRAWBOT_PixelLayout_32BGR,
    kDRAWBOT_PixelLayout_32ARGB_Straight,
    kDRAWBOT_PixelLayout_32ARGB_Premul,
    kDRAWBOT_PixelLayout_32BGRA_Straight,
    kDRAWBOT_PixelLayout_32BGRA_Premul
};

typedef int DRAWBOT_FillType;
enum {
    kDRAWBOT_FillType_EvenOdd = 0,
    kDRAWBOT_FillType_Winding,
    kDRAWBOT_FillType_Default = kDRAWBOT_FillType_Winding
};

typedef int DRAWBOT_TextAlignment;
enum {
    kDRAWBOT_TextAlignment_Left = 0,
    kDRAWBOT_TextAlignment_Center,
    kDRAWBOT_TextAlignment_Right
};

typedef int DRAWBOT_TextTruncation;
enum {
    kDRAWBOT_TextTruncation_None = 0,
    kDRAWBOT_TextTruncation_End,
    kDRAWBOT_TextTruncation_EndEllipsis
};

typedef int DRAWBOT_InterpolationPolicy;
enum {
    kDRAWBOT_InterpolationPolicy_None = 0,
    kDRAWBOT_InterpolationPolicy_Med,
    kDRAWBOT_InterpolationPolicy_High
};

typedef int DRAWBOT_AntiAliasPolicy;
enum {
    kDRAWBOT_AntiAliasPolicy_None = 0,
    kDRAWBOT_AntiAliasPolicy_Med,
    kDRAWBOT_AntiAliasPolicy_High
};

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
