darvolt_add_qtest(tst_drawutil SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_drawutil.cpp LIBS darvolt_toolkit)
