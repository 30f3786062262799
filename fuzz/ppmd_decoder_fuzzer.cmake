qvx_add_fuzzer(ppmd_decoder_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ppmd_decoder_fuzzer.cpp LIBS qvx_engine)
