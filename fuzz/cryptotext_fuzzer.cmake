qvx_add_fuzzer(cryptotext_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cryptotext_fuzzer.cpp LIBS qvx_engine)
