# What the package carries beside the programs: the manual pages against each
# program's --help, the desktop entry, the AppStream metadata, the release
# records and the icons.
set(programs)
foreach(program darvolt darvolt-split darvolt-join)
  list(APPEND programs "${program}=$<TARGET_FILE:${program}>")
endforeach()
list(JOIN programs "," programs)

darvolt_add_qtest(tst_manpages SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_manpages.cpp LIBS Qt6::Core)
target_compile_definitions(tst_manpages PRIVATE DARVOLT_PROGRAMS="${programs}"
                           DARVOLT_MAN_DIR="${PROJECT_SOURCE_DIR}/src/app/man")
add_dependencies(tst_manpages darvolt darvolt-split darvolt-join)

darvolt_add_qtest(tst_desktopfiles SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_desktopfiles.cpp LIBS Qt6::Gui)
target_compile_definitions(tst_desktopfiles PRIVATE
  DARVOLT_VERSION="${PROJECT_VERSION}"
  DARVOLT_DESKTOP_DIR="${PROJECT_SOURCE_DIR}/src/app/desktop"
  DARVOLT_CHANGELOG="${PROJECT_SOURCE_DIR}/packaging/changelog"
  DARVOLT_ICON_DIR="${CMAKE_BINARY_DIR}/icons/hicolor"
  DARVOLT_WINDOW_ICON="${PROJECT_SOURCE_DIR}/src/app/resources/darvolt.xpm")
add_dependencies(tst_desktopfiles darvolt_icons)

# Every command line the README and the manuals show, typed into an
# interactive bash on a scratch set.
darvolt_add_qtest(tst_doccommands SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_doccommands.cpp LIBS Qt6::Core)
target_compile_definitions(tst_doccommands PRIVATE DARVOLT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                           DARVOLT_BIN_DIR="$<TARGET_FILE_DIR:darvolt-split>")
add_dependencies(tst_doccommands darvolt-split darvolt-join)
