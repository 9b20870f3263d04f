# A Windows test whose program cannot run on this host (a 32-bit one where the kernel cannot
# execute 32-bit programs) ends with exit code 77 from scripts/wine-run.sh: ctest counts it as
# skipped, never as passed. Each test directory calls this at its end.
function(pelmora_tests_may_skip)
    get_directory_property(tests TESTS)
    foreach(test IN LISTS tests)
        get_test_property(${test} SKIP_RETURN_CODE code)
        if(NOT code)
            set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
        endif()
    endforeach()
endfunction()
