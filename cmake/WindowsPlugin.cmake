# Windows x64: Tessaron_Pro.aex with the property list as resource PiPL 16000 (language 1033),
# the C++, GCC and thread runtimes linked in so that it imports system DLLs only, stripped; and
# the simulated host's core, tessaron.exe, which loads it with LoadLibrary. Both land in
# TESSARON_OUTPUT_DIR.
enable_language(RC)
if(NOT TESSARON_OUTPUT_DIR)
  set(TESSARON_OUTPUT_DIR ${CMAKE_BINARY_DIR})
endif()

# ANN's header asks for DLL import when WIN32 is set; ANN is linked statically.
target_compile_options(tessaron_obj PRIVATE -UWIN32)
# M_PI and friends, as glibc declares them.
add_compile_definitions(_USE_MATH_DEFINES)
set(pipl_rc ${CMAKE_BINARY_DIR}/generated/Tessaron_Pro_PiPL.rc)
set_source_files_properties(${pipl_rc} PROPERTIES GENERATED TRUE)
target_sources(Tessaron_Pro PRIVATE ${pipl_rc})
set_target_properties(Tessaron_Pro PROPERTIES
    SUFFIX ".aex"
    RUNTIME_OUTPUT_DIRECTORY ${TESSARON_OUTPUT_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/importlib)
target_link_options(Tessaron_Pro PRIVATE -static -s)

# ---------------------------------------------------------------- the simulated host's core
# Every room of sim/ but sim/picture, which draws with cairo and encodes with FFmpeg (previews,
# videos, the Effect Controls surface, the drawing suites, the libpng reader); sim/windows stands
# in for it (it refuses drawing, and reads PNGs and JPEGs with stb_image).
file(GLOB WINDOWS_SIM_SOURCES CONFIGURE_DEPENDS sim/*/*.cpp)
list(FILTER WINDOWS_SIM_SOURCES EXCLUDE REGEX "/sim/picture/")
find_path(WINDOWS_DEPS_INCLUDE duktape.h REQUIRED)
find_library(DUKTAPE_LIBRARY NAMES duktape REQUIRED)
add_executable(tessaron ${WINDOWS_SIM_SOURCES})
target_include_directories(tessaron PRIVATE ${SIM_API_INCLUDES} ${CMAKE_SOURCE_DIR})
target_include_directories(tessaron SYSTEM PRIVATE ${WINDOWS_DEPS_INCLUDE})
target_compile_definitions(tessaron PRIVATE
    TESSARON_DEFAULT_PLUGIN="Tessaron_Pro.aex" TESSARON_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(tessaron PRIVATE ${DUKTAPE_LIBRARY})
target_link_options(tessaron PRIVATE -static -s)
set_target_properties(tessaron PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TESSARON_OUTPUT_DIR})
add_dependencies(tessaron Tessaron_Pro)
