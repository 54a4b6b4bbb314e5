#pragma once
// Rectangle helpers of the smart-render path (defined by the plug-in).
#include "AE_Effect.h"

#ifndef mmin
#define mmin(a, b) (((a) < (b)) ? (a) : (b))
#define mmax(a, b) (((a) > (b)) ? (a) : (b))
#endif

PF_Boolean IsEmptyRect(const PF_LRect* r);
void UnionLRect(const PF_LRect* src, PF_LRect* dst);
PF_Boolean IsEdgePixel(PF_LRect* rectP, A_long x, A_long y);
