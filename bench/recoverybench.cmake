# recoverybench: darvolt-split --recovery 10 against GNU split followed by
# par2 create writing as much recovery data, on a 2 GiB file; the
# arithmetic's share and speed beside gf-complete's; repairs against par2
# repair. Prints its figures; not part of CTest.
# Run: build/bin/recoverybench [--size BYTES] [--runs N] [--percent P] [--custom KB] [--dir DIR] [--only repairs]
add_executable(recoverybench ${CMAKE_CURRENT_LIST_DIR}/recoverybench.cpp)
target_compile_definitions(recoverybench PRIVATE DARVOLT_SPLIT_PROGRAM="$<TARGET_FILE:darvolt-split>")
# It runs par2 with the very command line darvolt-split gives it.
target_link_libraries(recoverybench PRIVATE darvolt_split darvolt_join)
target_include_directories(recoverybench PRIVATE ${PROJECT_SOURCE_DIR}/src)
add_dependencies(recoverybench darvolt-split)
