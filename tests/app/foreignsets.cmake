# darvolt-join on sets that GNU split and 7z make in the test, and on a
# .crc set and checksum lists the test writes.
darvolt_add_qtest(tst_foreignsets SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_foreignsets.cpp)
target_compile_definitions(tst_foreignsets PRIVATE DARVOLT_JOIN_PROGRAM="$<TARGET_FILE:darvolt-join>")
add_dependencies(tst_foreignsets darvolt-join)
