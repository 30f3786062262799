# Compiler settings shared by every target of the project.

# qvx_defaults(target): warnings as errors, the repository root as include root.
function(qvx_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${QVX_GENERATED_DIR})
  if(WIN32)
    # Use the ANSI Win32 API with 64-bit file offsets; no min/max macros.
    target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
                               _WIN32_WINNT=0x0601 WINVER=0x0601)
  endif()
endfunction()

if(QVX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QVX_BUILD_FUZZ)
  # Coverage instrumentation for every library the fuzz targets link, so that
  # libFuzzer sees the paths inside the code under test.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(UNIX AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit Linux: 64-bit file offsets, inode numbers and time. Without them
  # stat() and readdir() fail with EOVERFLOW on file systems with large inode
  # numbers, and times end in 2038.
  add_compile_definitions(_FILE_OFFSET_BITS=64 _TIME_BITS=64)
endif()

if(WIN32)
  # Self-contained executables: no MinGW runtime DLLs next to the program.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

include(StaticOpenSSL)
