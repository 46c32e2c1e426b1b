# The PAR2 reader under libFuzzer, over recovery data that darvolt-split and
# par2 create make when the fuzz target is built.
if(DARVOLT_FUZZ)
  set(par2_corpus ${CMAKE_BINARY_DIR}/fuzz/par2-corpus)
  add_custom_command(OUTPUT ${par2_corpus}/made
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/par2corpus.sh $<TARGET_FILE:darvolt-split> ${par2_corpus}
    COMMAND ${CMAKE_COMMAND} -E touch ${par2_corpus}/made
    DEPENDS darvolt-split ${CMAKE_CURRENT_LIST_DIR}/par2corpus.sh VERBATIM)
  add_custom_target(par2_corpus DEPENDS ${par2_corpus}/made)
  darvolt_add_fuzzer(fuzz_par2reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_par2reader.cpp LIBS darvolt_parts
                     CORPUS ${par2_corpus})
  add_dependencies(fuzz_par2reader par2_corpus)
endif()
