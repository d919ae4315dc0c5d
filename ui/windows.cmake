# The main window, the settings window and the scale picture they draw.
target_sources(ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/TXMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TXMain.h
    ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Settings.h
    ${CMAKE_CURRENT_LIST_DIR}/resources.qrc)
