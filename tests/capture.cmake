# The capture layer: error texts, the wave-in layer and the capture control
# with the scripted driver, then the same against a private PulseAudio daemon.
add_executable(test_capture test_mmErrMsg.cpp test_WaveIn.cpp test_CaptureControl.cpp
                            ToneSignals.cpp)
target_link_libraries(test_capture PRIVATE capture analysis GTest::gtest_main)
add_test(NAME capture COMMAND test_capture)

add_executable(test_capture_pulse test_PulseCapture.cpp ToneSignals.cpp)
target_link_libraries(test_capture_pulse PRIVATE capture analysis GTest::gtest_main)
target_compile_definitions(test_capture_pulse
    PRIVATE PULSE_DAEMON_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/pulse-daemon.sh")
add_test(NAME capture_pulse COMMAND test_capture_pulse)
set_tests_properties(capture_pulse PROPERTIES LABELS pulse TIMEOUT 300 RUN_SERIAL TRUE)
