# PELMORA_RELEASE=ON: the settings of a published build (scripts/release.sh), under which one
# commit gives the same bytes in any directory on any day:
# - the source, build and SQLite folders are mapped to fixed names wherever a path could reach an
#   object file (__FILE__, debug information);
# - binaries are stripped, and Windows binaries carry no link time stamp in their headers.
# Archive members are written in deterministic mode by Debian's binutils already.
option(PELMORA_RELEASE "Build with the settings of a release (reproducible, stripped)" OFF)
if(PELMORA_RELEASE)
    set(prefix_maps -ffile-prefix-map=${PROJECT_SOURCE_DIR}=pelmora
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=pelmora-build)
    if(PELMORA_SQLITE_DIR)
        list(APPEND prefix_maps -ffile-prefix-map=${PELMORA_SQLITE_DIR}=sqlite)
    endif()
    add_compile_options(${prefix_maps})
    add_link_options(-s)
    if(WIN32)
        add_link_options(-Wl,--no-insert-timestamp)
    endif()
endif()
