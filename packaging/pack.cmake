# cmake -DZIP=<file> -DSTAGE=<folder> -DPROGRAM=<exe> -DUNINSTALLER=<exe>
#       -DHELP=<chm> -DLICENCE=<txt> -P pack.cmake
# Packs the distribution: the four files at the top of the zip, the licence
# with CR LF line breaks, every entry with the same fixed time stamp.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${PROGRAM} ${STAGE}/Quorvix.exe)
file(COPY_FILE ${UNINSTALLER} ${STAGE}/uninstall.exe)
file(COPY_FILE ${HELP} "${STAGE}/QVX Help.chm")
file(READ ${LICENCE} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${STAGE}/License.txt "${text}")
file(REMOVE ${ZIP})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip "--mtime=2024-01-01 00:00:00"
          Quorvix.exe uninstall.exe License.txt "QVX Help.chm"
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not pack ${ZIP}")
endif()
