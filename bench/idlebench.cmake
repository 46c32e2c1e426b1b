# idlebench: the running program's CPU share while it idles with its banner
# playing, on a private Xvfb, plus animbench's banner paint figure.
# Run: build/bin/idlebench [--seconds N] [--settle N] [--program PATH]
add_executable(idlebench ${CMAKE_CURRENT_LIST_DIR}/idlebench.cpp)
target_link_libraries(idlebench PRIVATE Qt6::Gui)
target_compile_definitions(idlebench PRIVATE DARVOLT_PROGRAM="$<TARGET_FILE:darvolt>")
add_dependencies(idlebench darvolt animbench)
