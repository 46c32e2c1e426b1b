# The desktop's disk service is reached over the system D-Bus with sd-bus.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBSYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
target_link_libraries(darvolt_platform PUBLIC PkgConfig::LIBSYSTEMD)
