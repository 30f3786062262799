qvx_add_fuzzer(transport_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/transport_fuzzer.cpp LIBS qvx_keys)
