# Timer and GIF animator tests. Both start timer worker threads, so the
# thread-sanitizer stage of CI builds and runs them as well; Qt itself is not
# instrumented there, and tests/tsan.supp keeps its internals out of the
# reports.
darvolt_add_qtest(tst_rxtimer SOURCES tst_rxtimer.cpp tst_rxtimergate.h LIBS darvolt_widgets LABELS tsan)
darvolt_add_qtest(tst_gifanimator SOURCES tst_gifanimator.cpp tst_gifanimatorimages.h tst_rxtimergate.h
                  tst_gifanimator.qrc LIBS darvolt_widgets LABELS tsan)
darvolt_add_qtest(tst_gifanimatorpaint SOURCES tst_gifanimatorpaint.cpp tst_gifanimatorimages.h
                  tst_gifanimatorstrip.ui tst_gifanimator.qrc LIBS darvolt_widgets LABELS tsan)
foreach(test IN ITEMS tst_rxtimer tst_gifanimator tst_gifanimatorpaint)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
               "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
endforeach()
