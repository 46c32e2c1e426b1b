# darvolt-join: its command line, and the program itself on parts that
# darvolt-split made.
darvolt_add_qtest(tst_darvoltjoin SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_darvoltjoin.cpp LIBS darvolt_joincli)
target_compile_definitions(tst_darvoltjoin PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>"
                           DARVOLT_JOIN_PROGRAM="$<TARGET_FILE:darvolt-join>")
add_dependencies(tst_darvoltjoin darvolt-split darvolt-join)
