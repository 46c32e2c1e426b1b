# darvolt-join: joins and checks the parts of a split. Its console view and
# command handling form a small library of their own so the tests can drive
# them.
darvolt_plain_library(darvolt_joincli SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/consolejoinview.cpp ${CMAKE_CURRENT_LIST_DIR}/consolejoinview.h
  ${CMAKE_CURRENT_LIST_DIR}/consolejoincommand.cpp ${CMAKE_CURRENT_LIST_DIR}/consolejoincommand.h
  LIBS darvolt_join darvolt_splitcli)
add_executable(darvolt-join ${CMAKE_CURRENT_LIST_DIR}/darvoltjoin.cpp)
target_link_libraries(darvolt-join PRIVATE darvolt_joincli)
install(TARGETS darvolt-join RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
target_compile_definitions(darvolt_joincli PRIVATE DARVOLT_VERSION="${PROJECT_VERSION}")
