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

if(WIN32)
  # Self-contained executables: no MinGW runtime DLLs next to the program.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# OpenSSL libcrypto: Debian's package natively, the cached MinGW build otherwise.
if(CMAKE_CROSSCOMPILING AND NOT OPENSSL_ROOT_DIR)
  if(DEFINED ENV{QUORVIX_CACHE})
    set(_qvx_cache "$ENV{QUORVIX_CACHE}")
  else()
    set(_qvx_cache "$ENV{HOME}/.cache/quorvix")
  endif()
  file(GLOB _qvx_openssl_dirs "${_qvx_cache}/openssl-*-${QVX_TRIPLET}")
  list(SORT _qvx_openssl_dirs COMPARE NATURAL)
  list(POP_BACK _qvx_openssl_dirs OPENSSL_ROOT_DIR)
  if(NOT OPENSSL_ROOT_DIR)
    message(FATAL_ERROR "No OpenSSL build for ${QVX_TRIPLET} in ${_qvx_cache}: run scripts/setup.sh")
  endif()
  set(OPENSSL_USE_STATIC_LIBS ON)
  list(APPEND CMAKE_FIND_ROOT_PATH ${OPENSSL_ROOT_DIR})
endif()
find_package(OpenSSL 3.0 REQUIRED COMPONENTS Crypto)
if(WIN32)
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY
               INTERFACE_LINK_LIBRARIES ws2_32 crypt32 user32 advapi32 bcrypt)
endif()
