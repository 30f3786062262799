qvx_add_fuzzer(storage_fuzzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/storage_fuzzer.cpp LIBS qvx_storage)
