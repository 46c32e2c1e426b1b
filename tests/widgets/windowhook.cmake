darvolt_add_qtest(tst_windowhook SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_windowhook.cpp LIBS darvolt_widgets)
