# The level meter, drawn by the offscreen platform.
add_executable(test_leddisplay test_leddisplay.cpp)
target_link_libraries(test_leddisplay PRIVATE ui GTest::gtest)
add_test(NAME test_leddisplay COMMAND test_leddisplay)
set_tests_properties(test_leddisplay PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
