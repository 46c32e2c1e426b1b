# Tests of the window program, through its real windows and the real split
# engine, with dialogs, the file dialog, the browser and the drive answered
# at their seams.
darvolt_add_qtest(tst_form4layout SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4layout.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_layoutfonts SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_layoutfonts.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4field SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4field.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4split SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4split.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4busy SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4busy.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_aboutbox SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_aboutbox.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_application SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_application.cpp LIBS darvolt_app)
target_compile_definitions(tst_application PRIVATE DARVOLT_PROGRAM="$<TARGET_FILE:darvolt>"
                           DARVOLT_VERSION="${PROJECT_VERSION}"
                           DARVOLT_APP_SOURCE_DIR="${PROJECT_SOURCE_DIR}/src/app")
add_dependencies(tst_application darvolt)
darvolt_add_qtest(tst_dialogs SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_dialogs.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4sessionend SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4sessionend.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4stop SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4stop.cpp LIBS darvolt_app)
darvolt_add_qtest(tst_form4join SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form4join.cpp LIBS darvolt_app)
