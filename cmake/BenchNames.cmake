# The benches that drive the window's classes name them without namespace
# darvolt. Until their sources say "using namespace darvolt" themselves, they
# are compiled as though they did; then this file and benchnames/ go.
foreach(bench animbench captionbench gifbench windowbench windowbench-darvolt)
  if(TARGET ${bench})
    target_compile_options(${bench} PRIVATE
      "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/benchnames/darvoltnames.h")
  endif()
endforeach()
