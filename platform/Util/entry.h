#pragma once
// Export decoration of the plug-in's entry point.
#include "AEConfig.h"

#if defined(AE_OS_WIN)
#define DllExport __declspec(dllexport)
#else
#define DllExport __attribute__((visibility("default")))
#endif
