# captionbench: the cost of painting a window's title band, plain and as a
# gradient caption, and of a whole non-client repaint through the hook.
add_executable(captionbench ${CMAKE_CURRENT_LIST_DIR}/captionbench.cpp)
target_link_libraries(captionbench PRIVATE darvolt_widgets)
