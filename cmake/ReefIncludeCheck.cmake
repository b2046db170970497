# Run as a build step (cmake -P): fails when a file of a module includes a header of a module it
# does not use, so that the dependencies between the folders of a program stay one way.
#   -DPREFIX=listserver/   the include path every module's headers start with
#   -DMODULE=web           the module whose files are checked (for the message)
#   -DALLOWED=core;web     the folders its files may include: its own and those it uses
#   -DFILES=a.cpp;a.h      the module's files
#   -DSTAMP=<file>         written when every include is allowed

cmake_minimum_required(VERSION 3.21)

set(_bad "")
foreach(_file IN LISTS FILES)
  file(STRINGS "${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]${PREFIX}")
  foreach(_line IN LISTS _includes)
    string(REGEX MATCH "[\"<]${PREFIX}([^/\">]+)/" _match "${_line}")
    set(_folder "${CMAKE_MATCH_1}")
    if(NOT _match OR NOT _folder IN_LIST ALLOWED)
      string(STRIP "${_line}" _line)
      string(APPEND _bad "\n  ${_file}: ${_line}")
    endif()
  endforeach()
endforeach()
if(_bad)
  string(REPLACE ";" " " _allowed "${ALLOWED}")
  message(FATAL_ERROR "${PREFIX}${MODULE} may include only ${PREFIX}{${_allowed}}/:${_bad}")
endif()
file(TOUCH ${STAMP})
