darvolt_add_qtest(tst_wndproc SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_wndproc.cpp LIBS darvolt_toolkit)
darvolt_add_qtest(tst_formframe SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_formframe.cpp LIBS darvolt_toolkit)
darvolt_add_qtest(tst_formmouse SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_formmouse.cpp LIBS darvolt_toolkit)
darvolt_add_qtest(tst_formkeys SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_formkeys.cpp LIBS darvolt_toolkit)
