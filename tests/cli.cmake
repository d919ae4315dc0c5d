# The command-line decoder: its block pipeline and the program end to end on
# signals the tests generate themselves; Python reads back its JSON lines.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_executable(test_decoder test_decoder_blocks.cpp test_decoder_command.cpp ChildProcess.cpp
                            TestFiles.cpp)
target_link_libraries(test_decoder PRIVATE decoder test_signals PkgConfig::DTMF_SNDFILE
                                           GTest::gtest_main)
target_compile_definitions(test_decoder PRIVATE DTMF_DECODE_PROGRAM="$<TARGET_FILE:dtmf-decode>"
                                                PYTHON_PROGRAM="${Python3_EXECUTABLE}")
add_dependencies(test_decoder dtmf-decode)
add_test(NAME decoder COMMAND test_decoder)
