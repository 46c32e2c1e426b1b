# Every window of the program in the one classic scheme, photographed on a
# private X server under openbox, with the frame hints the message boxes
# give the window manager.
add_executable(classicwindows ${CMAKE_CURRENT_LIST_DIR}/classicwindows.cpp)
set_target_properties(classicwindows PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(classicwindows PRIVATE darvolt_app)

darvolt_add_qtest(tst_classiclookx11
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_classiclookx11.cpp ${CMAKE_CURRENT_LIST_DIR}/desktopsession.cpp
  LIBS Qt6::Gui LABELS desktop TIMEOUT 120)
target_compile_definitions(tst_classiclookx11 PRIVATE CLASSIC_WINDOWS="$<TARGET_FILE:classicwindows>")
add_dependencies(tst_classiclookx11 classicwindows)
