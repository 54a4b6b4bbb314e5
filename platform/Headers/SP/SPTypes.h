#pragma once
// Scalar types of the basic-suite declarations.
#include <cstddef>
#include <cstdint>

#include "SPConfig.h"

#define SPAPI

typedef int32_t int32;
typedef uint32_t uint32;
typedef int16_t int16;
typedef uint16_t uint16;
typedef uint8_t uint8;

typedef int32 SPErr;
// The Windows definition: a 32-bit boolean.
typedef int32 SPBoolean;

enum { kSPNoError = 0 };
// The four-character code 'S!Fd'.
#define kSPSuiteNotFoundError ((SPErr)0x53214664)
