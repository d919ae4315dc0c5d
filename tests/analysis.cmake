add_executable(test_analysis test_detector.cpp test_spine.cpp test_fast_levels.cpp)
target_link_libraries(test_analysis PRIVATE analysis test_signals GTest::gtest_main)
add_test(NAME analysis COMMAND test_analysis)
