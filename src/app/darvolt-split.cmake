# darvolt-split: the command-line splitter. Its console view and command
# handling form a small library of their own so the tests can drive them;
# darvolt-join takes what the two programs share from it.
darvolt_plain_library(darvolt_splitcli SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/consolesplitview.cpp ${CMAKE_CURRENT_LIST_DIR}/consolesplitview.h
  ${CMAKE_CURRENT_LIST_DIR}/consolesplitcommand.cpp ${CMAKE_CURRENT_LIST_DIR}/consolesplitcommand.h
  ${CMAKE_CURRENT_LIST_DIR}/consolecommand.cpp ${CMAKE_CURRENT_LIST_DIR}/consolecommand.h
  ${CMAKE_CURRENT_LIST_DIR}/consolestatusline.cpp ${CMAKE_CURRENT_LIST_DIR}/consolestatusline.h
  ${CMAKE_CURRENT_LIST_DIR}/commandoptions.cpp ${CMAKE_CURRENT_LIST_DIR}/commandoptions.h
  ${CMAKE_CURRENT_LIST_DIR}/failurewatch.cpp ${CMAKE_CURRENT_LIST_DIR}/failurewatch.h
  ${CMAKE_CURRENT_LIST_DIR}/partsizeoption.cpp ${CMAKE_CURRENT_LIST_DIR}/partsizeoption.h
  LIBS darvolt_split)
add_executable(darvolt-split ${CMAKE_CURRENT_LIST_DIR}/darvoltsplit.cpp)
target_link_libraries(darvolt-split PRIVATE darvolt_splitcli)
install(TARGETS darvolt-split RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
target_compile_definitions(darvolt_splitcli PRIVATE DARVOLT_VERSION="${PROJECT_VERSION}")
