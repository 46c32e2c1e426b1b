# splitbench: darvolt-split against GNU split (and GNU split + openssl dgst)
# on a 2 GiB file. Prints its figures; not part of CTest.
# Run: build/bin/splitbench [--size BYTES] [--runs N] [--dir DIR] [--filesystem tmpfs|ext4|xfs|btrfs]
add_executable(splitbench ${CMAKE_CURRENT_LIST_DIR}/splitbench.cpp)
target_compile_definitions(splitbench PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>")
add_dependencies(splitbench darvolt-split)
