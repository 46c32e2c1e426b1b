# The windows as assistive technology sees them, headless.
darvolt_add_qtest(tst_accessibility SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_accessibility.cpp LIBS darvolt_app)
