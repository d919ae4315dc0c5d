# The window program, its desktop entry and its icon.
add_executable(dtmf main.cpp)
target_link_libraries(dtmf PRIVATE ui)

install(TARGETS dtmf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES desktop/dtmf.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/dtmf.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
