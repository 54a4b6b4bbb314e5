#pragma once
// The basic suite: acquisition of every other suite by name and version.
#include "SPTypes.h"

#pragma pack(push, 8)

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

typedef struct SPBasicSuite {
    SPAPI SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
    SPAPI SPErr (*ReleaseSuite)(const char* name, int32 version);
    SPAPI SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPAPI SPErr (*AllocateBlock)(size_t size, void** block);
    SPAPI SPErr (*FreeBlock)(void* block);
    SPAPI SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPAPI SPErr (*Undefined)(void);
} SPBasicSuite;

#pragma pack(pop)
