# Tests of the split engine; most run against the in-memory fake platform.
darvolt_add_qtest(tst_partnaming SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_partnaming.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitrequest SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitrequest.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitfile.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_splitfailures SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_splitfailures.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_spanning SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_spanning.cpp LIBS darvolt_split)
darvolt_add_qtest(tst_spanmedia SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_spanmedia.cpp LIBS darvolt_split)
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
# Removable media for real, as root: loop devices and FUSE, and the real disk
# service started by the test itself. They attach and mount block devices,
# so they take turns, and run in the first stage of the checks only.
darvolt_add_qtest(tst_mountedmedia SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mountedmedia.cpp LIBS darvolt_split
                  LABELS root)
darvolt_add_qtest(tst_diskservice SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_diskservice.cpp LIBS darvolt_split
                  LABELS root)
set_tests_properties(tst_mountedmedia tst_diskservice PROPERTIES RESOURCE_LOCK block-devices)
# Some 4 GiB through FUSE: checked in the first stage only.
darvolt_add_qtest(tst_fatlimit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fatlimit.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/sparsecompare.cpp LIBS darvolt_split LABELS "slow;no-asan" TIMEOUT 1500)
# Recovery data: the plan, the engine through the fake, and par2 repairing
# from real sets.
darvolt_add_qtest(tst_recovery SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_recovery.cpp LIBS darvolt_split LABELS tsan)
# par2 is started beside Qt Test's watchdog thread; it only executes.
set_property(TEST tst_recovery APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:die_after_fork=0")
# GF(2^16) regions both ways against single products.
darvolt_add_qtest(tst_gfregion SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gfregion.cpp LIBS darvolt_parts)
