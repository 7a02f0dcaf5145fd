# Writes storeadm(8) from its template, with the COMMANDS section made from
# what `storeadm --help` says: each "  <name>  <summary>" line followed by
# its "storeadm ..." usage lines.
#   cmake -DSTOREADM=<program> -DTEMPLATE=<storeadm.8.in> -DOUTPUT=<storeadm.8>
#         -DVERSION=<version> -P storeadm_page.cmake

cmake_policy(SET CMP0054 NEW)

# Text for a roff text line: backslashes and minus signs as roff writes
# them, and no line that starts like a request.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(ASCII 1 semicolon)
  string(ASCII 2 open_bracket)
  string(ASCII 3 close_bracket)
  string(REPLACE "${semicolon}" ";" text "${text}")
  string(REPLACE "${open_bracket}" "[" text "${text}")
  string(REPLACE "${close_bracket}" "]" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The registry named here does not exist: the page must not depend on the
# settings of the machine that builds it.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QXSTORE_REGISTRY=${OUTPUT}.no-registry
                        QXSTORE_DIAG=off ${STOREADM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${STOREADM} --help failed (${status})")
endif()

# The command list follows "commands:"; a ";" in the text must not split
# CMake's list of lines.
string(FIND "${help}" "\ncommands:\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "no \"commands:\" line in the output of ${STOREADM} --help")
endif()
string(SUBSTRING "${help}" ${start} -1 help)
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(REPLACE ";" "${semicolon}" help "${help}")
# Nor may a bracket that a folded line leaves open join it to the next.
string(REPLACE "[" "${open_bracket}" help "${help}")
string(REPLACE "]" "${close_bracket}" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
set(commands "")
set(count 0)
# A summary is written after its command's usage lines; both may go on over
# indented lines of their own, which join the text they continue.
set(summary "")
set(usage "")
set(continues "")
macro(flush_usage)
  if(NOT usage STREQUAL "")
    roff_text("${usage}" text)
    string(APPEND commands "\\fB${text}\\fR\n.br\n")
    set(usage "")
  endif()
endmacro()
macro(flush_summary)
  if(NOT summary STREQUAL "")
    roff_text("${summary}" text)
    string(APPEND commands ".RS\n${text}\n.RE\n")
    set(summary "")
  endif()
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^  ([a-z][a-z-]*) +(.*)$")
    flush_usage()
    flush_summary()
    set(summary "${CMAKE_MATCH_2}")
    set(continues SUMMARY)
    string(APPEND commands ".PP\n")
    math(EXPR count "${count} + 1")
  elseif(line MATCHES "^ +(storeadm .*)$")
    flush_usage()
    set(usage "${CMAKE_MATCH_1}")
    set(continues USAGE)
  elseif(line MATCHES "^ +(.*)$")
    if(continues STREQUAL USAGE)
      string(APPEND usage " ${CMAKE_MATCH_1}")
    elseif(continues STREQUAL SUMMARY)
      string(APPEND summary " ${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()
flush_usage()
flush_summary()
if(count EQUAL 0)
  message(FATAL_ERROR "no commands found in the output of ${STOREADM} --help")
endif()

set(STOREADM_COMMANDS "${commands}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
