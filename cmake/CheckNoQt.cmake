# Fails when a source or header of the window-free code includes a Qt header (or the chart
# library's). Run as a script:
#   cmake -DROOT=<dir> -DREQUIRED=<dirs> [-DFILES=<globs>] -P CheckNoQt.cmake
# REQUIRED folders must exist and hold sources, so a renamed or missing folder fails the check
# instead of passing it unread. FILES are globs of single files (relative to ROOT), each of
# which must match something.
cmake_minimum_required(VERSION 3.25)

set(checked)
foreach(dir IN LISTS REQUIRED)
  file(GLOB_RECURSE found "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  if(NOT found)
    message(FATAL_ERROR "no sources under ${ROOT}/${dir}: the check would read nothing there")
  endif()
  list(APPEND checked ${found})
endforeach()
foreach(pattern IN LISTS FILES)
  file(GLOB found "${ROOT}/${pattern}")
  if(NOT found)
    message(FATAL_ERROR "nothing matches ${ROOT}/${pattern}")
  endif()
  list(APPEND checked ${found})
endforeach()

set(offenders)
foreach(source IN LISTS checked)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|qcustomplot)")
  foreach(line IN LISTS lines)
    list(APPEND offenders "${source}: ${line}")
  endforeach()
endforeach()
list(LENGTH checked count)
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "window-free code includes Qt:\n${text}")
endif()
message(STATUS "${count} window-free files, none includes Qt")
