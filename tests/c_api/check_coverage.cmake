# Fails when a function that libqxstore.so exports is never called from the
# plain C test, so that each new export gets its C call.
#   cmake -DNM=<nm> -DLIBRARY=<libqxstore.so> -DSOURCE=<c_api_test.c> -P check_coverage.cmake
if(NOT NM)
  find_program(NM nm REQUIRED)
endif()
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not list the exports of ${LIBRARY}")
endif()
file(READ ${SOURCE} source)

string(REPLACE "\n" ";" lines "${symbols}")
set(count 0)
set(missing "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; names beginning with '_' are the toolchain's.
  if(NOT line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([A-Za-z][A-Za-z0-9_]*)$")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  math(EXPR count "${count} + 1")
  if(NOT source MATCHES "[^A-Za-z0-9_]${name}\\(")
    list(APPEND missing ${name})
  endif()
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "no exported functions found in ${LIBRARY}")
endif()
if(missing)
  list(JOIN missing " " text)
  message(FATAL_ERROR "exported but never called from ${SOURCE}: ${text}")
endif()
message(STATUS "all ${count} exported functions are called from the C test")
