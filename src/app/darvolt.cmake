# darvolt: the desktop program. Its windows live in a library of their own
# so that the tests and the benchmark drive the very same code.
set(darvolt_app_dir ${CMAKE_CURRENT_LIST_DIR})
darvolt_qt_library(darvolt_app SOURCES
  ${darvolt_app_dir}/startup.cpp ${darvolt_app_dir}/startup.h
  ${darvolt_app_dir}/sessionend.cpp ${darvolt_app_dir}/sessionend.h
  ${darvolt_app_dir}/tform4.cpp ${darvolt_app_dir}/tform4split.cpp ${darvolt_app_dir}/tform4join.cpp
  ${darvolt_app_dir}/tform4.h
  ${darvolt_app_dir}/tform4.ui
  ${darvolt_app_dir}/taboutbox.cpp ${darvolt_app_dir}/taboutbox.h ${darvolt_app_dir}/taboutbox.ui
  ${darvolt_app_dir}/statusbar.cpp ${darvolt_app_dir}/statusbar.h
  ${darvolt_app_dir}/statusbaraccessible.cpp ${darvolt_app_dir}/statusbaraccessible.h
  ${darvolt_app_dir}/accessiblefactory.cpp ${darvolt_app_dir}/accessiblefactory.h
  ${darvolt_app_dir}/mediumdialog.cpp ${darvolt_app_dir}/mediumdialog.h
  ${darvolt_app_dir}/layoutfonts.cpp ${darvolt_app_dir}/layoutfonts.h
  ${darvolt_app_dir}/classicstyle.cpp ${darvolt_app_dir}/classicstyle.h
  ${darvolt_app_dir}/resources/darvolt.qrc
  LIBS darvolt_widgets darvolt_gif darvolt_toolkit darvolt_join darvolt_split darvolt_platform Qt6::Widgets)
# The layouts name their resources relative to this folder.
set_target_properties(darvolt_app PROPERTIES AUTOUIC_SEARCH_PATHS ${darvolt_app_dir})
# The window headers include their generated layout classes.
target_include_directories(darvolt_app PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/darvolt_app_autogen/include)

add_executable(darvolt ${darvolt_app_dir}/main.cpp)
target_link_libraries(darvolt PRIVATE darvolt_app)
target_compile_definitions(darvolt PRIVATE DARVOLT_VERSION="${PROJECT_VERSION}")

# The manual sits beside the program in the build tree, and where the
# program finds it from its own folder once installed.
set(darvolt_manual ${darvolt_app_dir}/help/darvolt.html)
add_custom_command(TARGET darvolt POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${darvolt_manual} $<TARGET_FILE_DIR:darvolt>/darvolt.html
  VERBATIM)

install(TARGETS darvolt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${darvolt_manual} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/darvolt)
install(FILES ${darvolt_app_dir}/desktop/darvolt.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
