# What this tree builds, and against which declarations of the host API.
#   TESSARON_HOST_SDK     the "Examples" folder of the host's SDK (Headers/, Headers/SP/,
#                         Headers/adobesdk/, Util/): the plug-in builds against it in place of
#                         platform/. Only the plug-in can be built then.
#   TESSARON_PLUGIN_ONLY  the plug-in alone, without the simulated host, tests and benchmarks;
#                         on by default for Windows and macOS targets and with an SDK. A Windows
#                         build also makes the simulated host's core (tessaron.exe).
set(TESSARON_HOST_SDK "" CACHE PATH "The host SDK's Examples folder (empty: platform/)")
if(TESSARON_HOST_SDK)
  if(NOT EXISTS ${TESSARON_HOST_SDK}/Headers/AE_Effect.h)
    message(FATAL_ERROR "TESSARON_HOST_SDK: no Headers/AE_Effect.h in ${TESSARON_HOST_SDK}")
  endif()
  if(NOT WIN32 AND NOT APPLE)
    message(FATAL_ERROR "TESSARON_HOST_SDK: the host's SDK builds for Windows or macOS only "
                        "(its headers stop other platforms); on Linux run "
                        "scripts/build-windows --host-sdk ${TESSARON_HOST_SDK}")
  endif()
  set(HOST_API_DIR ${TESSARON_HOST_SDK})
  # Third-party headers: their MSVC pragmas and four-character constants are not ours to fix.
  set(HOST_API_SYSTEM SYSTEM)
else()
  set(HOST_API_DIR ${CMAKE_SOURCE_DIR}/platform)
  set(HOST_API_SYSTEM "")
endif()

if(WIN32 OR APPLE OR TESSARON_HOST_SDK)
  set(plugin_only_default ON)
else()
  set(plugin_only_default OFF)
endif()
option(TESSARON_PLUGIN_ONLY "Build only the plug-in (and on Windows the host's core CLI)"
       ${plugin_only_default})
if(TESSARON_HOST_SDK AND NOT TESSARON_PLUGIN_ONLY)
  message(FATAL_ERROR "TESSARON_HOST_SDK builds the plug-in only: set TESSARON_PLUGIN_ONLY=ON")
endif()

# The platform's form of the deliverable, after the plug-in's targets exist.
macro(tessaron_platform_deliverable)
  if(TESSARON_HOST_SDK AND WIN32)
    # The SDK's SPConfig.h recognises Windows by this macro.
    target_compile_definitions(tessaron_obj PRIVATE _WINDOWS)
    set_source_files_properties(${TESSARON_HOST_SDK}/Util/AEGP_SuiteHandler.cpp
                                PROPERTIES COMPILE_OPTIONS -w)
  endif()
  if(WIN32)
    include(${CMAKE_SOURCE_DIR}/cmake/WindowsPlugin.cmake)
  elseif(APPLE)
    include(${CMAKE_SOURCE_DIR}/cmake/MacBundle.cmake)
  endif()
endmacro()
