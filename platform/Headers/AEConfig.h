#pragma once
// Platform selection for the host API declarations. This build targets Linux (the simulated
// host); the host's own SDK headers replace this folder for a release build.
#if defined(_WIN32) || defined(_WINDOWS)
#define AE_OS_WIN
#elif defined(__APPLE__)
#define AE_OS_MAC
#else
#define AE_OS_LINUX
#endif

#if defined(__x86_64__) || defined(_M_X64)
#define AE_PROC_INTELx64
#elif defined(__aarch64__) || defined(_M_ARM64)
#define AE_PROC_ARM64
#endif
