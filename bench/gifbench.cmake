# gifbench: this program's GIF decoder against giflib (libgif-dev), and the
# banner's composition time.
find_package(GIF QUIET)
if(GIF_FOUND)
  add_executable(gifbench ${CMAKE_CURRENT_LIST_DIR}/gifbench.cpp)
  target_link_libraries(gifbench PRIVATE darvolt_gif GIF::GIF)
  target_compile_definitions(gifbench PRIVATE
    DARVOLT_TESTDATA_GIF="${DARVOLT_TESTDATA}/gif"
    DARVOLT_BANNER_FILE="${PROJECT_SOURCE_DIR}/src/app/resources/banner.gifdata")
else()
  message(STATUS "giflib not found: gifbench is not built (install libgif-dev)")
endif()
