# Tests of the platform layer: the POSIX implementation against real files
# (and, as root, real mounts) and the fake's scripting.
darvolt_add_qtest(tst_posixplatform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_posixplatform.cpp LIBS darvolt_platform)
darvolt_add_qtest(tst_fakeplatform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fakeplatform.cpp LIBS darvolt_platform)
# Positional reads and copies from two threads on one source, POSIX and fake.
darvolt_add_qtest(tst_concurrentfiles SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_concurrentfiles.cpp LIBS darvolt_platform
                  LABELS tsan)
set_property(TEST tst_concurrentfiles APPEND PROPERTY ENVIRONMENT
             "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
darvolt_add_qtest(tst_posixdatasafety SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_posixdatasafety.cpp LIBS darvolt_platform)
