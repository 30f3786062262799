qvx_add_fuzzer(signature_block_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signature_block_fuzzer.cpp LIBS qvx_keys)
