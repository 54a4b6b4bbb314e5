#pragma once
// The drawing suites used by custom effect UI: draw, supplier, surface and path.
#include "SPBasic.h"
#include "adobesdk/drawbotsuite/DrawbotSuiteTypes.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kDRAWBOT_DrawSuite "DRAWBOT Draw Suite"
#define kDRAWBOT_DrawSuite_Version1 1
#define kDRAWBOT_DrawSuite_VersionCurrent kDRAWBOT_DrawSuite_Version1

typedef struct DRAWBOT_DrawbotSuite1 {
    SPAPI SPErr (*GetSupplier)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SupplierRef* out_supplierP);
    SPAPI SPErr (*GetSurface)(DRAWBOT_DrawRef in_drawbot_ref, DRAWBOT_SurfaceRef* out_surfaceP);
} DRAWBOT_DrawbotSuite1;
typedef DRAWBOT_DrawbotSuite1 DRAWBOT_DrawbotSuiteCurrent;

#define kDRAWBOT_SupplierSuite "DRAWBOT Supplier Suite"
#define kDRAWBOT_SupplierSuite_Version1 1
#define kDRAWBOT_SupplierSuite_VersionCurrent kDRAWBOT_SupplierSuite_Version1

typedef struct DRAWBOT_SupplierSuite1 {
    SPAPI SPErr (*NewPen)(DRAWBOT_SupplierRef in_supplier_ref, const DRAWBOT_ColorRGBA* in_colorP,
                          float in_size, DRAWBOT_PenRef* out_penP);
    SPAPI SPErr (*NewBrush)(DRAWBOT_SupplierRef in_supplier_ref, const DRAWBOT_ColorRGBA* in_colorP,
                            DRAWBOT_BrushRef* out_brushP);
    SPAPI SPErr (*SupportsText)(DRAWBOT_SupplierRef in_supplier_ref,
                                DRAWBOT_Boolean* out_supports_textB);
    SPAPI SPErr (*GetDefaultFontSize)(DRAWBOT_SupplierRef in_supplier_ref, float* out_font_sizeF);
    SPAPI SPErr (*NewDefaultFont)(DRAWBOT_SupplierRef in_supplier_ref, float in_font_sizeF,
                                  DRAWBOT_FontRef* out_fontP);
    SPAPI SPErr (*NewImageFromBuffer)(DRAWBOT_SupplierRef in_supplier_ref, int in_width,
                                      int in_height, int in_row_bytes, DRAWBOT_PixelLayout in_pl,
                                      const void* in_dataP, DRAWBOT_ImageRef* out_imageP);
    SPAPI SPErr (*NewPath)(DRAWBOT_SupplierRef in_supplier_ref, DRAWBOT_PathRef* out_pathP);
    SPAPI SPErr (*SupportsPixelLayoutBGRA)(DRAWBOT_SupplierRef in_supplier_ref,
                                           DRAWBOT_Boolean* out_supports_bgraPB);
    SPAPI SPErr (*PrefersPixelLayoutBGRA)(DRAWBOT_SupplierRef in_supplier_ref,
                                          DRAWBOT_Boolean* out_prefers_bgraPB);
    SPAPI SPErr (*SupportsPixelLayoutARGB)(DRAWBOT_SupplierRef in_supplier_ref,
                                           DRAWBOT_Boolean* out_supports_argbPB);
    SPAPI SPErr (*PrefersPixelLayoutARGB)(DRAWBOT_SupplierRef in_supplier_ref,
                                          DRAWBOT_Boolean* out_prefers_argbPB);
    SPAPI SPErr (*RetainObject)(DRAWBOT_ObjectRef in_obj_ref);
    SPAPI SPErr (*ReleaseObject)(DRAWBOT_ObjectRef in_obj_ref);
} DRAWBOT_SupplierSuite1;
typedef DRAWBOT_SupplierSuite1 DRAWBOT_SupplierSuiteCurrent;

#define kDRAWBOT_SurfaceSuite "DRAWBOT Surface Suite"
#define kDRAWBOT_SurfaceSuite_Version1 1
#define kDRAWBOT_SurfaceSuite_Version2 2
#define kDRAWBOT_SurfaceSuite_VersionCurrent kDRAWBOT_SurfaceSuite_Version2

// Version 1 is version 2 without its last member.
typedef struct DRAWBOT_SurfaceSuite2 {
    SPAPI SPErr (*PushStateStack)(DRAWBOT_SurfaceRef in_surface_ref);
    SPAPI SPErr (*PopStateStack)(DRAWBOT_SurfaceRef in_surface_ref);
    SPAPI SPErr (*PaintRect)(DRAWBOT_SurfaceRef in_surface_ref, const DRAWBOT_ColorRGBA* in_colorP,
                             const DRAWBOT_RectF32* in_rectPR);
    SPAPI SPErr (*FillPath)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_BrushRef in_brush_ref,
                            DRAWBOT_PathRef in_path_ref, DRAWBOT_FillType in_fill_type);
    SPAPI SPErr (*StrokePath)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_PenRef in_pen_ref,
                              DRAWBOT_PathRef in_path_ref);
    SPAPI SPErr (*Clip)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_SupplierRef in_supplier_ref,
                        const DRAWBOT_Rect32* in_rectPR);
    SPAPI SPErr (*GetClipBounds)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_Rect32* out_rectPR);
    SPAPI SPErr (*IsWithinClipBounds)(DRAWBOT_SurfaceRef in_surface_ref,
                                      const DRAWBOT_Rect32* in_rectPR,
                                      DRAWBOT_Boolean* out_withinPB);
    SPAPI SPErr (*Transform)(DRAWBOT_SurfaceRef in_surface_ref,
                             const DRAWBOT_MatrixF32* in_matrixP);
    SPAPI SPErr (*DrawString)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_BrushRef in_brush_ref,
                              DRAWBOT_FontRef in_font_ref, const DRAWBOT_UTF16Char* in_stringP,
                              const DRAWBOT_PointF32* in_originP,
                              DRAWBOT_TextAlignment in_alignment_style,
                              DRAWBOT_TextTruncation in_truncation_style,
                              float in_truncation_width);
    SPAPI SPErr (*DrawImage)(DRAWBOT_SurfaceRef in_surface_ref, DRAWBOT_ImageRef in_image_ref,
                             const DRAWBOT_PointF32* in_originP, float in_alpha);
    SPAPI SPErr (*SetInterpolationPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                          DRAWBOT_InterpolationPolicy in_interp);
    SPAPI SPErr (*GetInterpolationPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                          DRAWBOT_InterpolationPolicy* out_interpP);
    SPAPI SPErr (*SetAntiAliasPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                      DRAWBOT_AntiAliasPolicy in_policy);
    SPAPI SPErr (*GetAntiAliasPolicy)(DRAWBOT_SurfaceRef in_surface_ref,
                                      DRAWBOT_AntiAliasPolicy* out_policyP);
    SPAPI SPErr (*Flush)(DRAWBOT_SurfaceRef in_surface_ref);
    SPAPI SPErr (*GetTransformToScreenScale)(DRAWBOT_SurfaceRef in_surface_ref, float* out_scale);
} DRAWBOT_SurfaceSuite2;
typedef DRAWBOT_SurfaceSuite2 DRAWBOT_SurfaceSuite1;
typedef DRAWBOT_SurfaceSuite2 DRAWBOT_SurfaceSuiteCurrent;

#define kDRAWBOT_PathSuite "DRAWBOT Path Suite"
#define kDRAWBOT_PathSuite_Version1 1
#define kDRAWBOT_PathSuite_VersionCurrent kDRAWBOT_PathSuite_Version1

typedef struct DRAWBOT_PathSuite1 {
    SPAPI SPErr (*MoveTo)(DRAWBOT_PathRef in_path_ref, float in_x, float in_y);
    SPAPI SPErr (*LineTo)(DRAWBOT_PathRef in_path_ref, float in_x, float in_y);
    SPAPI SPErr (*BezierTo)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_PointF32* in_pt1P,
                            const DRAWBOT_PointF32* in_pt2P, const DRAWBOT_PointF32* in_pt3P);
    SPAPI SPErr (*AddRect)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_RectF32* in_rectPR);
    SPAPI SPErr (*AddArc)(DRAWBOT_PathRef in_path_ref, const DRAWBOT_PointF32* in_centerP,
                          float in_radius, float in_start_angle, float in_sweep);
    SPAPI SPErr (*Close)(DRAWBOT_PathRef in_path_ref);
} DRAWBOT_PathSuite1;
typedef DRAWBOT_PathSuite1 DRAWBOT_PathSuiteCurrent;

#define kDRAWBOT_PenSuite "DRAWBOT Pen Suite"
#define kDRAWBOT_PenSuite_Version1 1
typedef struct DRAWBOT_PenSuite1 {
    SPAPI SPErr (*SetDashPattern)(DRAWBOT_PenRef in_pen_ref, const float* in_dashesP,
                                  int in_dashes_count);
} DRAWBOT_PenSuite1;
typedef DRAWBOT_PenSuite1 DRAWBOT_PenSuiteCurrent;

#define kDRAWBOT_ImageSuite "DRAWBOT Image Suite"
#define kDRAWBOT_ImageSuite_Version1 1
typedef struct DRAWBOT_ImageSuite1 {
    SPAPI SPErr (*SetScaleFactor)(DRAWBOT_ImageRef in_image_ref, float in_scale_factor);
} DRAWBOT_ImageSuite1;
typedef DRAWBOT_ImageSuite1 DRAWBOT_ImageSuiteCurrent;

typedef struct {
    DRAWBOT_DrawbotSuiteCurrent* drawbot_suiteP;
    DRAWBOT_SupplierSuiteCurrent* supplier_suiteP;
    DRAWBOT_SurfaceSuiteCurrent* surface_suiteP;
    DRAWBOT_PathSuiteCurrent* path_suiteP;
    DRAWBOT_PenSuiteCurrent* pen_suiteP;
    DRAWBOT_ImageSuiteCurrent* image_suiteP;
} DRAWBOT_Suites;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
