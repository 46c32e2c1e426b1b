# gifdump: prints what the GIF reader makes of a file (developer tool).
add_executable(gifdump ${CMAKE_CURRENT_LIST_DIR}/gifdump.cpp)
target_link_libraries(gifdump PRIVATE darvolt_gif)
