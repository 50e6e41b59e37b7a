# reelfs_plugin(NAME SOURCES ... LIBS ...) makes the plug-in module libNAME.so in ${REELFS_PLUGIN_DIR},
# where the host finds the plug-ins next to each other. Only RegisterFactory0711 leaves the module: its
# code is built with hidden visibility and linked with the export map that every tape plug-in shares, and
# the link fails on any symbol the module leaves undefined.
function(reelfs_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  set(exports ${CMAKE_SOURCE_DIR}/FileSystems/TapeFS/exports.map)
  add_library(${name} MODULE ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  target_link_options(${name} PRIVATE -Wl,--version-script=${exports} -Wl,--no-undefined)
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${REELFS_PLUGIN_DIR}
    PREFIX "lib"
    LINK_DEPENDS ${exports})
  # The module's own thread-locals must be initial-exec (no module-local dynamic TLS relocation): a thread
  # that gets a dynamic TLS block for a module loaded with dlopen can crash the leak checker at exit.
  add_test(NAME ${name}_static_tls
    COMMAND sh -c "! readelf -rW '$<TARGET_FILE:${name}>' | grep -E 'DTPMOD64 +0$'")
endfunction()
