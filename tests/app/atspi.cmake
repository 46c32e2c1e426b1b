# The window program under a real assistive-technology client over AT-SPI:
# its tree is dumped and checked, and About and Exit are pressed through the
# bus. Needs Xvfb, a session bus and pyatspi, so it runs in the plain build
# only.
add_test(NAME atspi_window COMMAND ${CMAKE_CURRENT_LIST_DIR}/atspicheck.sh $<TARGET_FILE:darvolt>)
set_tests_properties(atspi_window PROPERTIES LABELS "no-asan" TIMEOUT 120)
