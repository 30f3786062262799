qvx_add_fuzzer(public_key_block_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/public_key_block_fuzzer.cpp LIBS qvx_keys)
