# The window program under a real assistive-technology client over AT-SPI
# (atspicheck.py): its tree is dumped and checked, and the window is worked
# through the bus while the client listens to its events. The Qt Test of the
# accessible tree runs there once more, with Qt's accessibility bridge live,
# so that the events our controls raise reach its handler. Both need Xvfb, a
# session bus and pyatspi, so they run in the plain build only.
set(darvolt_atspi_session ${CMAKE_CURRENT_LIST_DIR}/atspisession.sh)
add_test(NAME atspi_window
  COMMAND ${darvolt_atspi_session} /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/atspicheck.py $<TARGET_FILE:darvolt>)
add_test(NAME atspi_events
  COMMAND ${darvolt_atspi_session} $<TARGET_FILE:tst_accessibility> -platform xcb statesFollowTheControlsAndAreAnnounced)
# One at a time: X servers that start together may trip over each other.
set_tests_properties(atspi_window atspi_events PROPERTIES LABELS "no-asan" TIMEOUT 120
  RESOURCE_LOCK x_display)
