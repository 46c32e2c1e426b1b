# Tests of the join engine against the fake platform; the parts are hashed on
# a second thread, so tsan runs them.
darvolt_add_qtest(tst_joinfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_joinfile.cpp LIBS darvolt_join darvolt_split LABELS tsan)
set_property(TEST tst_joinfile APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
# The join with recovery data, par2 scripted through the fake.
darvolt_add_qtest(tst_joinrepair SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_joinrepair.cpp LIBS darvolt_join darvolt_split)
# The program's own repair from sets of one slice per part, on real files.
# par2 is started beside Qt Test's watchdog thread; it only executes.
darvolt_add_qtest(tst_recoverydecoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recoverydecoder.cpp LIBS darvolt_join darvolt_split
                  LABELS tsan)
set_property(TEST tst_recoverydecoder APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:die_after_fork=0")
# Other tools' sets: their naming, their .crc files and checksum lists.
darvolt_add_qtest(tst_foreignset SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_foreignset.cpp LIBS darvolt_join)
