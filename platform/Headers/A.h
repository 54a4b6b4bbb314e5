#pragma once
// Basic scalar and record types of the host API.
#include <cstdint>

#pragma pack(push, 8)

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef uint8_t A_u_char;
typedef uint8_t A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef void* A_Handle;
typedef A_long A_Fixed;
typedef A_u_long A_UFixed;
typedef uint64_t A_u_longlong;
typedef A_u_longlong A_HandleSize;
typedef intptr_t A_intptr_t;
typedef A_u_short A_UTF16Char;

typedef struct {
    A_long value;
    A_u_long scale;
} A_Time;

typedef struct {
    A_long num;
    A_u_long den;
} A_Ratio;

typedef struct {
    A_FpLong x, y;
} A_FloatPoint;

typedef struct {
    A_FpLong x, y, z;
} A_FloatPoint3;

typedef struct {
    A_FpLong left, top, right, bottom;
} A_FloatRect;

typedef struct {
    A_FpLong mat[3][3];
} A_Matrix3;

typedef struct {
    A_FpLong mat[4][4];
} A_Matrix4;

typedef struct {
    A_long left, top, right, bottom;
} A_LRect;
typedef A_LRect A_Rect;

typedef struct {
    A_long x, y;
} A_LPoint;

typedef struct {
    A_FpLong alpha, red, green, blue;
} A_Color;

typedef struct _Up_OpaqueMem** AEGP_MemHandle;

enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,
    A_Err_STRUCT = 2,
    A_Err_PARAMETER = 3,
    A_Err_ALLOC = 4,
    A_Err_WRONG_THREAD = 5,
    A_Err_CONST_PROJECT_MODIFICATION = 6,
    A_Err_MISSING_SUITE = 13
};

#define A_THROW(ERR) throw((A_long)(ERR))

#pragma pack(pop)
