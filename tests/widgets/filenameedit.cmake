darvolt_add_qtest(tst_filenameedit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_filenameedit.cpp LIBS darvolt_widgets)
darvolt_add_qtest(tst_filenamerules SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_filenamerules.cpp LIBS darvolt_widgets)
darvolt_add_qtest(tst_filenamedialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_filenamedialog.cpp LIBS darvolt_widgets)
