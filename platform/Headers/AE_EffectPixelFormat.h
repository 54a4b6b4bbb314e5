#pragma once
// Pixel formats of effect worlds.
#include "A.h"

typedef A_long PF_PixelFormat;

#define MAKE_PIXEL_FORMAT_FOURCC(C0, C1, C2, C3)                                       \
    ((PF_PixelFormat)(((A_u_long)(A_u_char)(C0)) | (((A_u_long)(A_u_char)(C1)) << 8) | \
                      (((A_u_long)(A_u_char)(C2)) << 16) | (((A_u_long)(A_u_char)(C3)) << 24)))

enum {
    PF_PixelFormat_ARGB32 = MAKE_PIXEL_FORMAT_FOURCC('a', 'r', 'g', 'b'),
    PF_PixelFormat_ARGB64 = MAKE_PIXEL_FORMAT_FOURCC('a', 'e', '1', '6'),
    PF_PixelFormat_ARGB128 = MAKE_PIXEL_FORMAT_FOURCC('a', 'e', '3', '2'),
    PF_PixelFormat_BGRA32 = MAKE_PIXEL_FORMAT_FOURCC('b', 'g', 'r', 'a'),
    PF_PixelFormat_INVALID = MAKE_PIXEL_FORMAT_FOURCC('b', 'a', 'd', 'f')
};
