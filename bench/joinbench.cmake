# joinbench: darvolt-join against cat and cat + openssl dgst on the parts of
# a 2 GiB file. Prints its figures; not part of CTest.
# Run: build/bin/joinbench [--size BYTES] [--runs N] [--dir DIR] [--filesystem tmpfs|ext4|xfs|btrfs]
add_executable(joinbench ${CMAKE_CURRENT_LIST_DIR}/joinbench.cpp)
target_compile_definitions(joinbench PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>"
                           DARVOLT_JOIN_PROGRAM="$<TARGET_FILE:darvolt-join>")
add_dependencies(joinbench darvolt-split darvolt-join)
