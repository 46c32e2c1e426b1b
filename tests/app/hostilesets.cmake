# darvolt-split and darvolt-join on folders, media and names someone else
# prepared.
darvolt_add_qtest(tst_hostilesets SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_hostilesets.cpp)
target_compile_definitions(tst_hostilesets PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>"
                           DARVOLT_JOIN_PROGRAM="$<TARGET_FILE:darvolt-join>")
add_dependencies(tst_hostilesets darvolt-split darvolt-join)
