# cmake -DSOURCE=<docs/help> -DSCREENSHOTS=<folder> -DSTAGE=<folder> -DSTAMP=<file>
#       [-DCONVERT=<ImageMagick convert>] -P stage_help.cmake
# Copies the help project into STAGE. images.txt in SOURCE names, per picture
# of the help, the end-to-end screenshot it shows and optionally the part of
# it to keep (WxH: that size from the bottom right corner, where the tray
# menus open); when SCREENSHOTS holds that screenshot it replaces the
# committed copy in SOURCE/images. STAMP is rewritten only when the staged
# files changed.
file(GLOB_RECURSE sources RELATIVE ${SOURCE} ${SOURCE}/*)
set(chosen "")
foreach(rel IN LISTS sources)
  list(APPEND chosen "${rel}=${SOURCE}/${rel}")
endforeach()

file(STRINGS ${SOURCE}/images.txt lines REGEX "^[^#]")
set(cropped_dir ${STAGE}.cropped)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([^ \t]+)[ \t]+([^ \t]+)([ \t]+([0-9]+x[0-9]+))?[ \t]*$" ok "${line}")
  if(NOT ok)
    message(FATAL_ERROR "images.txt: cannot read line '${line}'")
  endif()
  set(picture "images/${CMAKE_MATCH_1}")
  set(shot "${SCREENSHOTS}/${CMAKE_MATCH_2}")
  set(crop "${CMAKE_MATCH_4}")
  if(NOT EXISTS ${SOURCE}/${picture})
    message(FATAL_ERROR "images.txt names ${picture}, which is not committed in ${SOURCE}")
  endif()
  if(NOT EXISTS "${shot}")
    continue()
  endif()
  if(crop)
    if(NOT CONVERT)
      continue()
    endif()
    file(MAKE_DIRECTORY ${cropped_dir})
    set(out ${cropped_dir}/${CMAKE_MATCH_1})
    # Without time stamps in the file, the same screenshot gives the same bytes.
    execute_process(
      COMMAND ${CONVERT} ${shot} -gravity SouthEast -crop ${crop}+0+0 +repage -strip
              -define png:exclude-chunks=date,time ${out}
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      continue()
    endif()
    set(shot ${out})
  endif()
  list(FILTER chosen EXCLUDE REGEX "^${picture}=")
  list(APPEND chosen "${picture}=${shot}")
endforeach()

set(digest "")
foreach(entry IN LISTS chosen)
  string(REGEX MATCH "^([^=]+)=(.*)$" ok "${entry}")
  set(rel ${CMAKE_MATCH_1})
  set(from ${CMAKE_MATCH_2})
  get_filename_component(dir "${STAGE}/${rel}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(COPY_FILE "${from}" "${STAGE}/${rel}" ONLY_IF_DIFFERENT)
  file(SHA256 "${from}" hash)
  string(APPEND digest "${rel} ${hash}\n")
endforeach()

# Files that left the project leave the stage too.
file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
foreach(rel IN LISTS staged)
  string(FIND "\n${digest}" "\n${rel} " at)
  if(at EQUAL -1 AND NOT rel MATCHES "\\.chm$")
    file(REMOVE "${STAGE}/${rel}")
  endif()
endforeach()

set(old "")
if(EXISTS ${STAMP})
  file(READ ${STAMP} old)
endif()
if(NOT old STREQUAL digest)
  file(WRITE ${STAMP} "${digest}")
endif()
