#pragma once
// Platform switches of the basic-suite declarations.
#if defined(_WIN32) || defined(_WINDOWS) || defined(_MSC_VER) || defined(WINDOWS)
#ifndef WIN_ENV
#define WIN_ENV
#endif
#endif
// The declarations follow the Windows x64 layout on every platform of this build.
#ifndef SP_WIN_LAYOUT
#define SP_WIN_LAYOUT
#endif
