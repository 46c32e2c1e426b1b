# GIF reader, decoder, image model, banner and conformance tests.
darvolt_add_qtest(tst_lzwdecoder SOURCES tst_lzwdecoder.cpp LIBS darvolt_gif bannergen_lib)
darvolt_add_qtest(tst_gifreader SOURCES tst_gifreader.cpp LIBS darvolt_gif)
darvolt_add_qtest(tst_composeframe SOURCES tst_composeframe.cpp LIBS darvolt_gif)
darvolt_add_qtest(tst_gifimage SOURCES tst_gifimage.cpp LIBS darvolt_gif)
darvolt_add_qtest(tst_gifbudget SOURCES tst_gifbudget.cpp LIBS darvolt_gif)
darvolt_add_qtest(tst_banner SOURCES tst_banner.cpp LIBS darvolt_gif bannergen_lib)
target_compile_definitions(tst_banner PRIVATE
  DARVOLT_BANNER_FILE="${PROJECT_SOURCE_DIR}/src/app/resources/banner.gifdata")
darvolt_add_qtest(tst_giftruncation SOURCES tst_giftruncation.cpp LIBS darvolt_gif)
target_compile_definitions(tst_giftruncation PRIVATE
  DARVOLT_BANNER_FILE="${PROJECT_SOURCE_DIR}/src/app/resources/banner.gifdata")
darvolt_add_qtest(tst_gifconformance SOURCES tst_gifconformance.cpp LIBS darvolt_gif)

# The fuzz target; CI runs it once over the public GIF material.
darvolt_add_fuzzer(fuzz_gif SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_gif.cpp LIBS darvolt_gif
  CORPUS ${DARVOLT_TESTDATA}/gif/wuffs ${DARVOLT_TESTDATA}/gif/giflib ${DARVOLT_TESTDATA}/gif/peterdn)
