#pragma once
// Parameter helpers: the empty flag set, display precisions and a bounded string copy.
#include <string.h>

#include "AE_Effect.h"

enum { PF_ParamFlag_NONE = 0 };

enum {
    PF_Precision_INTEGER = 0,
    PF_Precision_TENTHS,
    PF_Precision_HUNDREDTHS,
    PF_Precision_THOUSANDTHS,
    PF_Precision_TEN_THOUSANDTHS
};

#define PF_STRNNCPY(DST, SRC, SZ)    \
    do {                             \
        strncpy((DST), (SRC), (SZ)); \
        (DST)[(SZ)-1] = 0;           \
    } while (0)
