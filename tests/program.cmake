# The windows offscreen over the scripted driver, and the program in a real
# window against a private sound server.
find_package(Qt6 REQUIRED COMPONENTS Test)

add_executable(test_windows test_windows.cpp)
target_link_libraries(test_windows PRIVATE ui Qt6::Test GTest::gtest)
add_test(NAME windows COMMAND test_windows)
set_tests_properties(windows PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120)

# The first showing on a screen lower than the window and its 30 pixels.
set(SMALL_SCREEN ${CMAKE_CURRENT_BINARY_DIR}/small-screen.json)
file(WRITE ${SMALL_SCREEN}
     [=[{"screens": [{"name": "small", "x": 0, "y": 0, "width": 640, "height": 100}]}]=])
add_test(NAME windows_small_screen
         COMMAND test_windows --gtest_filter=*ThirtyPixelsShortOfTheScreen)
set_tests_properties(windows_small_screen PROPERTIES
                     ENVIRONMENT QT_QPA_PLATFORM=offscreen:configfile=${SMALL_SCREEN} TIMEOUT 60)

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
add_test(NAME desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/desktop/dtmf.desktop)

add_test(NAME window_end_to_end
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/window-e2e.sh $<TARGET_FILE:dtmf>)
set_tests_properties(window_end_to_end PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE LABELS e2e)
