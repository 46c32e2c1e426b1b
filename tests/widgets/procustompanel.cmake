darvolt_add_qtest(tst_procustompanel SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_procustompanel.cpp LIBS darvolt_widgets)
