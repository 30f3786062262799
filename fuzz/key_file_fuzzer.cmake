qvx_add_fuzzer(key_file_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/key_file_fuzzer.cpp LIBS qvx_keys)
