# OpenSSL libcrypto for every target: the static build of the 3.5 LTS branch
# that scripts/setup.sh makes once per machine into the cache, one folder per
# version and target triplet (openssl-<version>-<triplet>). This is the one
# place that decides which libcrypto a build links; nothing comes from the
# system's packages. OPENSSL_ROOT_DIR on the command line names another one.
set(QVX_OPENSSL_MIN_VERSION 3.5)

if(NOT QVX_TRIPLET)
  # Native Linux build; the toolchain files name the other targets.
  set(QVX_TRIPLET "${CMAKE_SYSTEM_PROCESSOR}-linux-gnu")
endif()

if(NOT OPENSSL_ROOT_DIR)
  if(DEFINED ENV{QUORVIX_CACHE})
    set(_qvx_cache "$ENV{QUORVIX_CACHE}")
  else()
    set(_qvx_cache "$ENV{HOME}/.cache/quorvix")
  endif()
  # Only finished builds count; the newest version wins.
  file(GLOB _qvx_openssl_marks "${_qvx_cache}/openssl-${QVX_OPENSSL_MIN_VERSION}.*-${QVX_TRIPLET}/.complete")
  set(_qvx_openssl_dirs "")
  foreach(_mark IN LISTS _qvx_openssl_marks)
    get_filename_component(_dir "${_mark}" DIRECTORY)
    list(APPEND _qvx_openssl_dirs "${_dir}")
  endforeach()
  list(SORT _qvx_openssl_dirs COMPARE NATURAL)
  list(POP_BACK _qvx_openssl_dirs OPENSSL_ROOT_DIR)
  if(NOT OPENSSL_ROOT_DIR)
    message(FATAL_ERROR "No OpenSSL ${QVX_OPENSSL_MIN_VERSION} build for ${QVX_TRIPLET} in "
                        "${_qvx_cache}: run scripts/setup.sh")
  endif()
endif()

# A build folder configured before (another version, or the system's library)
# looks again.
foreach(_var OPENSSL_CRYPTO_LIBRARY OPENSSL_SSL_LIBRARY OPENSSL_INCLUDE_DIR)
  if(DEFINED CACHE{${_var}} AND NOT "$CACHE{${_var}}" MATCHES "^${OPENSSL_ROOT_DIR}/")
    unset(${_var} CACHE)
  endif()
endforeach()

set(OPENSSL_USE_STATIC_LIBS ON)
if(CMAKE_CROSSCOMPILING)
  list(APPEND CMAKE_FIND_ROOT_PATH ${OPENSSL_ROOT_DIR})
endif()
find_package(OpenSSL ${QVX_OPENSSL_MIN_VERSION} REQUIRED COMPONENTS Crypto)
if(NOT OPENSSL_CRYPTO_LIBRARY MATCHES "^${OPENSSL_ROOT_DIR}/.*\\.a$"
   OR NOT OPENSSL_INCLUDE_DIR MATCHES "^${OPENSSL_ROOT_DIR}/")
  message(FATAL_ERROR "OpenSSL found outside ${OPENSSL_ROOT_DIR}: "
                      "${OPENSSL_CRYPTO_LIBRARY}, ${OPENSSL_INCLUDE_DIR}")
endif()
message(STATUS "libcrypto ${OPENSSL_VERSION} (static) from ${OPENSSL_ROOT_DIR}")

if(WIN32)
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY
               INTERFACE_LINK_LIBRARIES ws2_32 crypt32 user32 advapi32 bcrypt)
endif()
