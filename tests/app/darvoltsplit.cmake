# darvolt-split: its command line and console view, and the program itself.
darvolt_add_qtest(tst_darvoltsplit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_darvoltsplit.cpp LIBS darvolt_splitcli)
target_compile_definitions(tst_darvoltsplit PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>")
add_dependencies(tst_darvoltsplit darvolt-split)
