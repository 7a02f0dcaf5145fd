cmake_minimum_required(VERSION 3.20)
# Fails when a file of src/ includes a folder that is not below its own.
# Run as: cmake -DSOURCE_DIR=<checkout> -P cmake/check_layers.cmake
#
# The folders of src/, bottom to top. A folder may include the folders
# before it in this list and none after it, so no two folders can include
# each other.
set(layers platform frame common message folder xml index remote
           search shares legacy store pim library)

# Includes that still run upward while their move is under way, as
# "file:folder". Each entry is a debt; keep the list empty.
set(known_exceptions)

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/*.cc ${SOURCE_DIR}/src/*.h)
set(failures 0)
foreach(file ${files})
  string(REGEX REPLACE "^src/([^/]+)/.*" "\\1" folder "${file}")
  list(FIND layers ${folder} own_rank)
  if(own_rank EQUAL -1)
    message(SEND_ERROR "${file}: folder src/${folder} is not in the layer list of cmake/check_layers.cmake")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${line}")
    list(FIND layers ${target} target_rank)
    if(target_rank EQUAL -1 OR target_rank LESS own_rank OR target STREQUAL folder)
      continue()
    endif()
    if("${file}:${target}" IN_LIST known_exceptions)
      continue()
    endif()
    string(STRIP "${line}" line)
    message(SEND_ERROR "${file}: '${line}' runs upward: src/${folder} may include only folders below it (${layers})")
    math(EXPR failures "${failures} + 1")
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) against the layers of src/")
endif()
