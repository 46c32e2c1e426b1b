# Runs that copy two parts at once: through the fake switched to concurrent
# copies, and on real files. Labelled tsan so the thread sanitizer runs them.
darvolt_add_qtest(tst_partpipeline SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_partpipeline.cpp LIBS darvolt_split
                  LABELS tsan)
darvolt_add_qtest(tst_partpipelinefiles SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_partpipelinefiles.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/sparsecompare.cpp LIBS darvolt_split LABELS tsan TIMEOUT 600)
foreach(test IN ITEMS tst_partpipeline tst_partpipelinefiles)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
               "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
endforeach()
