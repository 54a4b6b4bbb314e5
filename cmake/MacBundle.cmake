# macOS: the plug-in as the bundle the host loads,
#   Tessaron_Pro.plugin/Contents/{Info.plist, PkgInfo, MacOS/Tessaron_Pro,
#                                 Resources/Tessaron_Pro.rsrc}
# with the property list as the resource file the generator writes (type 'PiPL', id 16000,
# code entry mi64). Needs a Mac to compile: x86-64, EntryPointFunc the only export.
set(CMAKE_OSX_ARCHITECTURES x86_64 CACHE STRING "The host's 64-bit Intel entry point")
set(bundle_contents ${CMAKE_BINARY_DIR}/Tessaron_Pro.plugin/Contents)
set(TESSARON_VERSION ${PROJECT_VERSION})
configure_file(${CMAKE_SOURCE_DIR}/cmake/MacInfo.plist.in ${bundle_contents}/Info.plist @ONLY)
file(WRITE ${bundle_contents}/PkgInfo "eFKTFXTC")
set_target_properties(Tessaron_Pro PROPERTIES
    PREFIX "" SUFFIX "" LIBRARY_OUTPUT_DIRECTORY ${bundle_contents}/MacOS)
target_link_options(Tessaron_Pro PRIVATE -Wl,-exported_symbol,_EntryPointFunc)
add_custom_command(TARGET Tessaron_Pro POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle_contents}/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_BINARY_DIR}/generated/Tessaron_Pro.rsrc
            ${bundle_contents}/Resources/Tessaron_Pro.rsrc)
