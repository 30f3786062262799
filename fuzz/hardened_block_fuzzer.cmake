qvx_add_fuzzer(hardened_block_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hardened_block_fuzzer.cpp LIBS qvx_engine)
