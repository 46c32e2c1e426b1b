# Build switches shared by every target of the tree.
option(DARVOLT_WERROR "Treat compiler warnings as errors" OFF)
set(DARVOLT_SANITIZE "" CACHE STRING
    "Sanitizers to build with, for example address,undefined or thread")
option(DARVOLT_FUZZ "Build the libFuzzer targets (clang only)" OFF)

add_compile_options(-Wall -Wextra -Wpedantic)
if(DARVOLT_WERROR)
  add_compile_options(-Werror)
endif()

# The hardening Debian builds its packages with: libc calls checked against
# the buffer sizes the optimiser can see (it needs optimising, so not in
# Debug, where glibc would warn), and a symbol table the program cannot
# overwrite once it runs.
add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
add_link_options(-Wl,-z,relro -Wl,-z,now)

if(DARVOLT_SANITIZE)
  add_compile_options(-fsanitize=${DARVOLT_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${DARVOLT_SANITIZE})
endif()

# darvolt_qt_library(<name> SOURCES ... LIBS ...): a static library of one
# folder that uses Qt (moc, uic and rcc switched on).
function(darvolt_qt_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# darvolt_plain_library(<name> SOURCES ... LIBS ...): a static library of one
# folder that must not depend on Qt.
function(darvolt_plain_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# darvolt_add_qtest(<name> SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s]):
# one Qt Test executable registered with CTest, run headless.
function(darvolt_add_qtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src
                                             ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} darvolt_fakeplatform Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;DARVOLT_TESTDATA=${DARVOLT_TESTDATA};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;ASAN_OPTIONS=detect_leaks=1")
  if("tsan" IN_LIST ARG_LABELS)
    add_dependencies(tsan_tests ${name})
  endif()
endfunction()

# Targets that CI builds on their own in the thread-sanitizer and fuzz
# configurations; tests join them through their labels.
add_custom_target(tsan_tests)
add_custom_target(fuzzers)

# darvolt_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS dir...): a libFuzzer
# target (clang, DARVOLT_FUZZ=ON) that CTest also runs once over each corpus
# folder as a regression test labelled "fuzz".
function(darvolt_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;CORPUS" ${ARGN})
  if(NOT DARVOLT_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  add_dependencies(fuzzers ${name})
  if(BUILD_TESTING)
    add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${ARG_CORPUS})
    set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz TIMEOUT 900)
  endif()
endfunction()
