add_executable(test_analysis test_detector.cpp test_spine.cpp)
target_link_libraries(test_analysis PRIVATE analysis test_signals GTest::gtest_main)
add_test(NAME analysis COMMAND test_analysis)

# The strict receiver: its requirement cases, and talk-off on speech that
# espeak-ng makes at test time (needs espeak-ng and sox).
target_sources(test_analysis PRIVATE test_strict_receiver.cpp)
add_executable(test_strict_talkoff test_strict_talkoff.cpp)
target_link_libraries(test_strict_talkoff PRIVATE analysis GTest::gtest_main)
add_test(NAME strict_talkoff COMMAND test_strict_talkoff)
