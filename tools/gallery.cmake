# A window showing every custom widget in its main states, for a person to
# look at: `darvolt-gallery` opens it, `darvolt-gallery --grab out.png` saves
# a picture of it instead (works with QT_QPA_PLATFORM=offscreen).
add_executable(darvolt-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery.cpp)
target_link_libraries(darvolt-gallery PRIVATE darvolt_widgets)
