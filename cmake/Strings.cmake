# Generates the string table (resources/strings.tsv) into a C++ lookup shared by
# every target and, on Windows, into the .rc STRINGTABLE.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QVX_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
# The program version for C++ and the resource scripts, from project().
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${QVX_GENERATED_DIR}/qvx/version.h @ONLY)
set(_qvx_strings_src ${PROJECT_SOURCE_DIR}/resources/strings.tsv)
set(QVX_STRINGS_OUTPUTS
    ${QVX_GENERATED_DIR}/qvx/strings.h
    ${QVX_GENERATED_DIR}/qvx/strings.cpp
    ${QVX_GENERATED_DIR}/qvx/strings.rc)
add_custom_command(
  OUTPUT ${QVX_STRINGS_OUTPUTS}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/gen_strings.py
          ${_qvx_strings_src} ${QVX_GENERATED_DIR}/qvx
  DEPENDS ${_qvx_strings_src} ${PROJECT_SOURCE_DIR}/cmake/gen_strings.py
  COMMENT "Generating the string table")
add_custom_target(qvx_strings_gen DEPENDS ${QVX_STRINGS_OUTPUTS})
