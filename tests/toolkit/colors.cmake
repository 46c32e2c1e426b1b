darvolt_add_qtest(tst_colors SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_colors.cpp LIBS darvolt_toolkit)
