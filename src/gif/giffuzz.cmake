# In fuzz builds the GIF library carries coverage instrumentation, so that
# the fuzzer is guided by the reader's and decoder's branches, not only by
# the target's own.
if(DARVOLT_FUZZ AND TARGET darvolt_gif)
  target_compile_options(darvolt_gif PRIVATE -fsanitize=fuzzer-no-link)
endif()
