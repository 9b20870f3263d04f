# The product's version lives in one place, the project version in the top-level CMakeLists.txt:
# three numbers, MAJOR.MINOR.PATCH. Everything else is made from it here or passed on from it.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "The project version must be three numbers, MAJOR.MINOR.PATCH: ${PROJECT_VERSION}")
endif()
# The version blocks of the Windows binaries have a fourth number, the build: fixed at 1 for every
# file of a release, so the extension keeps the file version 1.0.0.1 it has always carried.
set(PELMORA_VERSION_BUILD 1)
set(PELMORA_FILE_VERSION ${PROJECT_VERSION}.${PELMORA_VERSION_BUILD})
set(PELMORA_COMPANY "Pelmora")
set(PELMORA_COPYRIGHT "Copyright (C) 2026 the Pelmora developers. MIT License.")

if(WIN32)
    set(PELMORA_VERSION_INFO ${CMAKE_BINARY_DIR}/version/version_info.rc)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/version_info.rc.in ${PELMORA_VERSION_INFO} @ONLY)
endif()

# pelmora_version_resource(TARGET DESCRIPTION): gives a Windows binary the version block, with its
# own description and file name. Does nothing elsewhere.
function(pelmora_version_resource target description)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "SHARED_LIBRARY")
        set(file_type VFT_DLL)
        set(file_name ${name}.dll)
    else()
        set(file_type VFT_APP)
        set(file_name ${name}.exe)
    endif()
    set(script ${CMAKE_BINARY_DIR}/version/${target}.rc)
    file(CONFIGURE OUTPUT ${script} CONTENT
"#define PELMORA_FILE_DESCRIPTION \"${description}\"
#define PELMORA_FILE_NAME \"${file_name}\"
#define PELMORA_FILE_TYPE ${file_type}
#include \"${PELMORA_VERSION_INFO}\"
")
    target_sources(${target} PRIVATE ${script})
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS ${PELMORA_VERSION_INFO})
endfunction()
