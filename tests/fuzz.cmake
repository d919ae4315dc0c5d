# libFuzzer targets (clang only): the decoder's input path on arbitrary bytes
# as a file image, and ReceiveBlock with arbitrary byte counts. Each runs
# briefly from a generated seed corpus as an ordinary test labelled "fuzz".
set(DTMF_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)

# A copy of a library built with coverage and sanitizer instrumentation, so
# that the ordinary targets of this build stay as they are.
function(dtmf_instrumented_copy Copy Original)
    get_target_property(Sources ${Original} SOURCES)
    get_target_property(Directory ${Original} SOURCE_DIR)
    set(Paths "")
    foreach(Source IN LISTS Sources)
        if(IS_ABSOLUTE "${Source}")
            list(APPEND Paths "${Source}")
        else()
            list(APPEND Paths "${Directory}/${Source}")
        endif()
    endforeach()
    add_library(${Copy} STATIC ${Paths})
    target_include_directories(${Copy} PUBLIC ${Directory})
    target_compile_options(${Copy} PRIVATE -fsanitize=fuzzer-no-link ${DTMF_FUZZ_FLAGS})
endfunction()

dtmf_instrumented_copy(analysis_fuzz analysis)
dtmf_instrumented_copy(decoder_fuzz decoder)
target_link_libraries(decoder_fuzz PUBLIC analysis_fuzz PkgConfig::DTMF_SNDFILE
                                          PkgConfig::DTMF_SOXR)

add_executable(fuzz_seeds fuzz_seeds.cpp)
target_link_libraries(fuzz_seeds PRIVATE test_signals PkgConfig::DTMF_SNDFILE)
set(DTMF_FUZZ_SEEDS ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds)
add_test(NAME fuzz_seeds COMMAND fuzz_seeds ${DTMF_FUZZ_SEEDS})
set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds LABELS fuzz)

foreach(Target fuzz_decoder_input fuzz_receive_block)
    add_executable(${Target} ${Target}.cpp)
    target_compile_options(${Target} PRIVATE -fsanitize=fuzzer ${DTMF_FUZZ_FLAGS})
    target_link_options(${Target} PRIVATE -fsanitize=fuzzer ${DTMF_FUZZ_FLAGS})
    # New inputs found go to the first folder, so the seeds stay as made.
    set(Corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz-corpus/${Target})
    file(MAKE_DIRECTORY ${Corpus})
    add_test(NAME ${Target}
             COMMAND ${Target} -max_total_time=20 -timeout=30 -rss_limit_mb=2048 ${Corpus}
                     ${DTMF_FUZZ_SEEDS}/${Target})
    set_tests_properties(${Target} PROPERTIES FIXTURES_REQUIRED fuzz_seeds LABELS fuzz
                                              TIMEOUT 300)
endforeach()
target_link_libraries(fuzz_decoder_input PRIVATE decoder_fuzz)
target_link_libraries(fuzz_receive_block PRIVATE analysis_fuzz)
