# Tests of the split engine; most run against the in-memory fake platform.
darvolt_add_qtest(tst_partnaming SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_partnaming.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitrequest SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitrequest.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitfile.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitfailures SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitfailures.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_spanning SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_spanning.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_mergescript SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mergescript.cpp LIBS darvolt_split
                  TIMEOUT 600)
darvolt_add_qtest(tst_splitproperty SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitproperty.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/sparsecompare.cpp LIBS darvolt_split TIMEOUT 600)
darvolt_add_qtest(tst_realmedium SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_realmedium.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_sourcemeasure SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sourcemeasure.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_datasafety SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_datasafety.cpp LIBS darvolt_split LABELS tsan)
set_property(TEST tst_datasafety APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
# The checksum file and merge.sh: hashed on a second thread, so tsan runs it;
# merge.sh itself under dash and BusyBox sh on real files.
darvolt_add_qtest(tst_checksums SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_checksums.cpp LIBS darvolt_split LABELS tsan)
darvolt_add_qtest(tst_mergeshell SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mergeshell.cpp LIBS darvolt_split)
set_property(TEST tst_checksums APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
# Recovery data: the plan, par2's progress, and par2 scripted through the fake.
darvolt_add_qtest(tst_recovery SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recovery.cpp LIBS darvolt_split)
