#pragma once
// Small helper macros of the effect API.
#include <string.h>

#include "A.h"

#define AEFX_CLR_STRUCT(STRUCT) memset(&(STRUCT), 0, sizeof(STRUCT));

#define ERR(FUNC)         \
    do {                  \
        if (!err) {       \
            err = (FUNC); \
        }                 \
    } while (0)

#define ERR2(FUNC)                                               \
    do {                                                         \
        if (((err2 = (FUNC)) != A_Err_NONE) && !err) err = err2; \
    } while (0)

#define A_Fixed_ONE ((A_Fixed)0x00010000L)
#define A_Fixed_HALF ((A_Fixed)0x00008000L)
#define FIX2INT(X) ((A_long)(X) >> 16)
#define INT2FIX(X) ((A_long)(X) << 16)
#define FIX_2_FLOAT(X) ((A_FpLong)(X) / 65536.0)
#define FLOAT2FIX(F) ((PF_Fixed)((F)*65536 + (((F) < 0) ? -0.5 : 0.5)))
#define RATIO2FLOAT(R) ((A_FpLong)(R).num / (A_FpLong)(R).den)
