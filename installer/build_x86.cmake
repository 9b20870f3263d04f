# Configures the x86 build directory if needed and builds the x86 binaries the installer of the
# x64 build carries: the program, the extension, pelmora-cli and Setup's PATH helper. Run with
# cmake -P; SOURCE_DIR and BINARY_DIR are given.
if(NOT EXISTS ${BINARY_DIR}/CMakeCache.txt)
    if(BINARY_DIR STREQUAL "${SOURCE_DIR}/build/win32")
        set(configure ${CMAKE_COMMAND} --preset win32)
    else()
        # A directory of its own serves only the installer: no tests or benchmarks in it.
        set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G Ninja
            -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release
            -DPELMORA_TESTS=OFF -DPELMORA_BENCH=OFF)
    endif()
    execute_process(COMMAND ${configure} WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "Configuring the x86 build in ${BINARY_DIR} failed")
    endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR}
                        --target Pelmora PelmoraExt pelmora-cli PathEntry
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Building the x86 binaries for the installer in ${BINARY_DIR} failed")
endif()
