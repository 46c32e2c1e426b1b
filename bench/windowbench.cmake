# windowbench: the window program's start-up time to its first painted main
# window against a minimal Qt program showing one 390 x 256 window (empty, and
# with one line of text in the window's font), and
# the throughput of a 1 GiB split driven through the window against
# darvolt-split on the same file. Prints its figures; not part of CTest.
# Run: build/bin/windowbench [--size BYTES] [--runs N] [--starts N] [--dir DIR] [--instructions]
add_executable(windowbench-minimal ${CMAKE_CURRENT_LIST_DIR}/windowbenchminimal.cpp)
target_link_libraries(windowbench-minimal PRIVATE Qt6::Widgets)
add_executable(windowbench-darvolt ${CMAKE_CURRENT_LIST_DIR}/windowbenchdarvolt.cpp)
target_link_libraries(windowbench-darvolt PRIVATE darvolt_app)
add_executable(windowbench ${CMAKE_CURRENT_LIST_DIR}/windowbench.cpp)
target_link_libraries(windowbench PRIVATE darvolt_app)
target_compile_definitions(windowbench PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>")
add_dependencies(windowbench windowbench-minimal windowbench-darvolt darvolt-split)
