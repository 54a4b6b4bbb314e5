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
// One byte in the macOS build of the host's headers, 32 bits on Windows (and in this Linux
// build, which follows the Windows layout).
#if defined(__APPLE__)
typedef uint8 SPBoolean;
#else
typedef int32 SPBoolean;
#endif

enum { kSPNoError = 0 };
// The four-character code 'S!Fd'.
#define kSPSuiteNotFoundError ((SPErr)0x53214664)
