# animbench: the cost of one banner paint (compose + stretch of a frame).
add_executable(animbench ${CMAKE_CURRENT_LIST_DIR}/animbench.cpp)
target_link_libraries(animbench PRIVATE darvolt_widgets)
target_compile_definitions(animbench PRIVATE
  DARVOLT_BANNER_FILE="${PROJECT_SOURCE_DIR}/src/app/resources/banner.gifdata")
