# Run as a build step (cmake -P): writes a C++ source that holds files as byte arrays, so that a
# program carries them without reading anything at run time.
#   -DOUT=<file.cpp>        the source written
#   -DHEADER=<file.h>       the header it includes (declares the arrays)
#   -DNAMESPACE=<ns>        the namespace of the arrays
#   -DFILES=name=path;...   each array's name and the file it holds

cmake_minimum_required(VERSION 3.21)

set(_out "// Written by the build from the files named below; edit those, not this.\n")
string(APPEND _out "#include \"${HEADER}\"\n\nnamespace ${NAMESPACE} {\n")
foreach(_pair IN LISTS FILES)
  string(REGEX MATCH "^([A-Za-z_][A-Za-z0-9_]*)=(.*)$" _match "${_pair}")
  if(NOT _match)
    message(FATAL_ERROR "not name=path: ${_pair}")
  endif()
  set(_name "${CMAKE_MATCH_1}")
  set(_path "${CMAKE_MATCH_2}")
  file(READ "${_path}" _hex HEX)
  string(LENGTH "${_hex}" _digits)
  math(EXPR _size "${_digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," _bytes "${_hex}")
  # Lines of 16 bytes keep the file readable for a compiler's error messages.
  string(REGEX REPLACE "(('[^']+',){16})" "\\1\n" _bytes "${_bytes}")
  get_filename_component(_file "${_path}" NAME)
  string(APPEND _out "\n// ${_file}\nconst char ${_name}Bytes[] = {\n${_bytes}'\\0'};\n")
  string(APPEND _out "const std::string_view ${_name}(${_name}Bytes, ${_size});\n")
endforeach()
string(APPEND _out "\n} // namespace ${NAMESPACE}\n")

file(WRITE "${OUT}" "${_out}")
