#pragma once
// Utility callbacks of PF_InData: worlds, handles, the C library routines, and their macros.
#include "AE_Effect.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_NewWorldFlags;
enum {
    PF_NewWorldFlag_NONE = 0,
    PF_NewWorldFlag_CLEAR_PIXELS = 1L << 0,
    PF_NewWorldFlag_DEEP_PIXELS = 1L << 1
};

enum { PF_Xfer_NONE = -1, PF_Xfer_COPY = 0, PF_Xfer_BEHIND, PF_Xfer_IN_FRONT };

typedef PF_Err (*PF_IteratePixel8Func)(void* refconP, A_long xL, A_long yL, PF_Pixel* inP,
                                       PF_Pixel* outP);
typedef PF_Err (*PF_IteratePixel16Func)(void* refconP, A_long xL, A_long yL, PF_Pixel16* inP,
                                        PF_Pixel16* outP);

typedef struct {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
    A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char*, const A_char*, ...);
    A_char* (*strcpy)(A_char*, const A_char*);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
    A_long ansi_procs[1];
} PF_ANSICallbacks;

// Colour-space conversions; not used here, declared for the record's layout.
typedef struct {
    void* RGBtoHLS;
    void* HLStoRGB;
    void* RGBtoYIQ;
    void* YIQtoRGB;
    void* Luminance;
    void* Hue;
    void* Lightness;
    void* Saturation;
} PF_ColorCallbacks;

// Members typed void* are not used by this plug-in; they hold their place in the layout.
typedef struct _PF_UtilCallbacks {
    void* begin_sampling;
    void* subpixel_sample;
    void* area_sample;
    void* get_batch_func_is_deprecated;
    void* end_sampling;
    void* composite_rect;
    void* blend;
    void* convolve;
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                   PF_Rect* dst_r);
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);
    void* gaussian_kernel;
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                      PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                      PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    void* premultiply;
    void* premultiply_color;
    PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                        PF_EffectWorld* world);
    PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    void* iterate_origin;
    void* iterate_lut;
    void* transfer_rect;
    void* transform_world;
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    void* get_callback_addr;
    PF_Err (*app)(PF_ProgPtr, A_long, ...);
    PF_ANSICallbacks ansi;
    PF_ColorCallbacks colorCB;
    void* get_platform_data;
    A_u_longlong (*host_get_handle_size)(PF_Handle pf_handle);
    void* iterate_origin_non_clip_src;
    void* iterate_generic;
    PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle* handlePH);
    void* subpixel_sample16;
    void* area_sample16;
    void* fill16;
    void* premultiply_color16;
    void* iterate16;
    void* iterate_origin16;
    void* iterate_origin_non_clip_src16;
    PF_Err (*get_pixel_data8)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel8** pixPP);
    PF_Err (*get_pixel_data16)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel16** pixPP);
    A_long reserved[1];
} PF_UtilCallbacks;

// These macros assume a variable named in_data, as the host's own do.
#define PF_SPRINTF (*in_data->utils->ansi.sprintf)
#define PF_STRCPY(DST, SRC) (*in_data->utils->ansi.strcpy)((DST), (SRC))
#define PF_COPY(SRC, DST, SRC_RECT, DST_RECT) \
    (*in_data->utils->copy)(in_data->effect_ref, (SRC), (DST), (SRC_RECT), (DST_RECT))
#define PF_FILL(COLOR, DST_RECT, DST) \
    (*in_data->utils->fill)(in_data->effect_ref, (COLOR), (DST_RECT), (DST))
#define PF_NEW_WORLD(WIDTH, HEIGHT, FLAGS, WORLD) \
    (*in_data->utils->new_world)(in_data->effect_ref, (WIDTH), (HEIGHT), (FLAGS), (WORLD))
#define PF_DISPOSE_WORLD(WORLD) (*in_data->utils->dispose_world)(in_data->effect_ref, (WORLD))
#define PF_NEW_HANDLE(SIZE) (*in_data->utils->host_new_handle)((SIZE))
#define PF_LOCK_HANDLE(PF_HANDLE) (*in_data->utils->host_lock_handle)((PF_Handle)(PF_HANDLE))
#define PF_UNLOCK_HANDLE(PF_HANDLE) (*in_data->utils->host_unlock_handle)((PF_Handle)(PF_HANDLE))
#define PF_DISPOSE_HANDLE(PF_HANDLE) (*in_data->utils->host_dispose_handle)((PF_Handle)(PF_HANDLE))
#define PF_GET_HANDLE_SIZE(PF_HANDLE) \
    (*in_data->utils->host_get_handle_size)((PF_Handle)(PF_HANDLE))
#define PF_RESIZE_HANDLE(NEW_SIZE, HANDLE_P) \
    (*in_data->utils->host_resize_handle)((NEW_SIZE), (PF_Handle*)(HANDLE_P))

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
