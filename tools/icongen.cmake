# The icon generator. Its drawing lives in a library that the icon test links
# too; the build runs it to make the icon theme's pictures (never committed)
# and installs them.
add_library(icongen_lib STATIC ${CMAKE_CURRENT_LIST_DIR}/icongen.cpp)
target_include_directories(icongen_lib PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(icongen_lib PUBLIC Qt6::Gui)

add_executable(icongen ${CMAKE_CURRENT_LIST_DIR}/icongenmain.cpp)
target_link_libraries(icongen PRIVATE icongen_lib)

# The sizes desktops ask for, from the menu's 16 to the software centre's 256.
set(DARVOLT_ICON_SIZES 16 32 48 64 128 256)
set(DARVOLT_ICON_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
set(darvolt_icons)
foreach(size IN LISTS DARVOLT_ICON_SIZES)
  set(icon ${DARVOLT_ICON_DIR}/${size}x${size}/apps/darvolt.png)
  list(APPEND darvolt_icons ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# A sanitizer build of the generator must not fail the build over Qt's
# process-lifetime allocations.
add_custom_command(OUTPUT ${darvolt_icons}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:icongen> ${DARVOLT_ICON_DIR} ${DARVOLT_ICON_SIZES}
  DEPENDS icongen VERBATIM)
add_custom_target(darvolt_icons ALL DEPENDS ${darvolt_icons})
