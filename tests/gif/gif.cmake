# GIF reader, decoder, image model, banner and conformance tests.
darvolt_add_qtest(tst_lzwdecoder SOURCES tst_lzwdecoder.cpp LIBS darvolt_gif bannergen_lib)
darvolt_add_qtest(tst_gifreader SOURCES tst_gifreader.cpp LIBS darvolt_gif)
