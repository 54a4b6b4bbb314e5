# Cross-compiling for Windows x64 with Debian's MinGW-w64 (posix threads), as scripts/build-windows
# does. TESSARON_WINDOWS_DEPS is the folder with the cross-built ANN and duktape and the
# header-only libraries (include/, lib/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_STRIP ${triple}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${TESSARON_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSARON_WINDOWS_DEPS)
