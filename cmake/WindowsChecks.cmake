# Checks of the Windows deliverable, registered once scripts/build-windows has built it and
# Wine is installed: the .aex's exports, imports and property list resource, and the Windows
# host's core under Wine against the Linux host (label "windows").
set(TESSARON_WINDOWS_DIR ${CMAKE_SOURCE_DIR}/build-windows CACHE PATH "scripts/build-windows output")
find_program(WINE64 wine64 PATHS /usr/lib/wine)
if(WINE64 AND EXISTS ${TESSARON_WINDOWS_DIR}/Tessaron_Pro.aex
   AND EXISTS ${TESSARON_WINDOWS_DIR}/tessaron.exe)
  file(GLOB WINDOWS_CHECK_SOURCES CONFIGURE_DEPENDS tests/windows/*.cpp)
  add_executable(windows_checks ${WINDOWS_CHECK_SOURCES})
  target_link_libraries(windows_checks PRIVATE
      tessaron_core nlohmann_json::nlohmann_json GTest::gtest GTest::gtest_main)
  target_compile_definitions(windows_checks PRIVATE
      TESSARON_WINDOWS_DIR="${TESSARON_WINDOWS_DIR}" TESSARON_WINE="${WINE64}"
      TESSARON_BINARY_DIR="${CMAKE_BINARY_DIR}" TESSARON_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      TESSARON_LINUX_PLUGIN="$<TARGET_FILE:Tessaron_Pro>")
  add_dependencies(windows_checks tessaron Tessaron_Pro tessaron_pipl)
  # A check takes about 15 s on a busy machine; the first also makes the Wine prefix.
  gtest_discover_tests(windows_checks DISCOVERY_TIMEOUT 60 PROPERTIES LABELS windows TIMEOUT 120)
endif()
