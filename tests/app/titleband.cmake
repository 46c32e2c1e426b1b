# The title band of the real program driven as a person would: under Xvfb
# with openbox, xfwm4 and metacity, and under weston's headless compositor.
# They start display servers and take seconds each, so they carry the label
# "desktop" and CI runs them in its first stage only.
add_executable(sizeableform ${CMAKE_CURRENT_LIST_DIR}/sizeableform.cpp)
set_target_properties(sizeableform PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(sizeableform PRIVATE darvolt_toolkit)

darvolt_add_qtest(tst_titlebandx11
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_titlebandx11.cpp ${CMAKE_CURRENT_LIST_DIR}/desktopsession.cpp
  LIBS darvolt_toolkit LABELS desktop TIMEOUT 240)
target_compile_definitions(tst_titlebandx11 PRIVATE DARVOLT_PROGRAM="$<TARGET_FILE:darvolt>"
                           SIZEABLE_FORM="$<TARGET_FILE:sizeableform>")
add_dependencies(tst_titlebandx11 darvolt sizeableform)

# weston's headless backend has no input devices: a module of ours gives it
# a pointer that the test steers.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WESTON QUIET IMPORTED_TARGET libweston-10 wayland-server)
endif()
darvolt_add_qtest(tst_titlebandwayland
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_titlebandwayland.cpp ${CMAKE_CURRENT_LIST_DIR}/desktopsession.cpp
  LIBS darvolt_toolkit LABELS desktop TIMEOUT 120)
target_compile_definitions(tst_titlebandwayland PRIVATE DARVOLT_PROGRAM="$<TARGET_FILE:darvolt>")
add_dependencies(tst_titlebandwayland darvolt)
if(WESTON_FOUND)
  add_library(westonpointer MODULE ${CMAKE_CURRENT_LIST_DIR}/westonpointer.cpp)
  set_target_properties(westonpointer PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(westonpointer PRIVATE PkgConfig::WESTON)
  # weston loads it: no sanitizer runtime of ours can come first there.
  target_compile_options(westonpointer PRIVATE -fno-sanitize=all)
  target_link_options(westonpointer PRIVATE -fno-sanitize=all)
  target_compile_definitions(tst_titlebandwayland PRIVATE WESTON_POINTER_MODULE="$<TARGET_FILE:westonpointer>")
  add_dependencies(tst_titlebandwayland westonpointer)
else()
  # The test says so and fails: tools/setup-deps.sh test installs libweston.
  target_compile_definitions(tst_titlebandwayland PRIVATE WESTON_POINTER_MODULE="")
endif()

# The window worked from the keyboard alone under openbox: the title band's
# menu, a parts folder, stopping a split, joining a set.
darvolt_add_qtest(tst_windowkeysx11
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_windowkeysx11.cpp ${CMAKE_CURRENT_LIST_DIR}/desktopsession.cpp
  LIBS darvolt_toolkit LABELS desktop TIMEOUT 180)
target_compile_definitions(tst_windowkeysx11 PRIVATE DARVOLT_PROGRAM="$<TARGET_FILE:darvolt>"
                           DARVOLT_SPLIT="$<TARGET_FILE:darvolt-split>")
add_dependencies(tst_windowkeysx11 darvolt darvolt-split)
