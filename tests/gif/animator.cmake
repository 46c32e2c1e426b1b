# Timer and GIF animator tests. Both start timer worker threads, so the
# thread-sanitizer stage of CI builds and runs them as well; Qt itself is not
# instrumented there, and tsan.supp keeps its internals out of the reports.
darvolt_add_qtest(tst_rxtimer SOURCES tst_rxtimer.cpp tst_rxtimergate.h LIBS darvolt_gif LABELS tsan)
