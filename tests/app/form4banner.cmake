# Tests of the main window's banner strip (its animation around the window's
# life and every split, the link area over it) and of its gradient title
# band rendered with the whole window.
darvolt_add_qtest(tst_form4banner SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4banner.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4caption SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4caption.cpp LIBS darvolt_app)
