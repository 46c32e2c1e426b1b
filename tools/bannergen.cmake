# The banner generator: its drawing and encoding live in a library that the
# banner test links too, so the test can compare a fresh run with the
# committed resource.
add_library(bannergen_lib STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bannergen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bannergenlzw.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bannergenpalette.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bannergenscene.cpp)
target_include_directories(bannergen_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(bannergen_lib PUBLIC Qt6::Gui)

add_executable(bannergen ${CMAKE_CURRENT_LIST_DIR}/bannergenmain.cpp)
target_link_libraries(bannergen PRIVATE bannergen_lib)
