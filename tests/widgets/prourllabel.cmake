darvolt_add_qtest(tst_prourllabel SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_prourllabel.cpp LIBS darvolt_widgets)
