# Wayland client libraries, and C code for protocol descriptions made at build time by
# wayland-scanner.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET GLOBAL wayland-client xkbcommon)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
# KDE's own protocols (KWin's fake input); sets PLASMA_WAYLAND_PROTOCOLS_DIR.
find_package(PlasmaWaylandProtocols REQUIRED)

# add_wayland_protocols(TARGET XML...): a static library of the protocols' client code; its users
# include "<name>-client-protocol.h".
function(add_wayland_protocols target)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
    file(MAKE_DIRECTORY ${dir})
    set(sources)
    foreach(xml ${ARGN})
        get_filename_component(name ${xml} NAME_WE)
        add_custom_command(
            OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
            COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
            COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
            DEPENDS ${xml}
            VERBATIM)
        list(APPEND sources ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
    endforeach()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${dir})
    target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND)
endfunction()
