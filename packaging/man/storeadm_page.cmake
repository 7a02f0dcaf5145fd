# Writes storeadm(8) from its template, with the COMMANDS section made from
# what `storeadm --help` says: each "  <name>  <summary>" line followed by
# its "storeadm ..." usage lines.
#   cmake -DSTOREADM=<program> -DTEMPLATE=<storeadm.8.in> -DOUTPUT=<storeadm.8>
#         -DVERSION=<version> -P storeadm_page.cmake

# Text for a roff text line: backslashes and minus signs as roff writes
# them, and no line that starts like a request.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(ASCII 1 semicolon)
  string(REPLACE "${semicolon}" ";" text "${text}")
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
string(REPLACE ";" "${semicolon}" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
set(commands "")
set(count 0)
set(summary "")
foreach(line IN LISTS lines)
  if(line MATCHES "^  ([a-z][a-z-]*) +(.*)$")
    if(NOT summary STREQUAL "")
      string(APPEND commands ".RS\n${summary}\n.RE\n")
    endif()
    roff_text("${CMAKE_MATCH_2}" summary)
    string(APPEND commands ".PP\n")
    math(EXPR count "${count} + 1")
  elseif(line MATCHES "^ +(storeadm .*)$")
    roff_text("${CMAKE_MATCH_1}" usage)
    string(APPEND commands "\\fB${usage}\\fR\n.br\n")
  endif()
endforeach()
if(NOT summary STREQUAL "")
  string(APPEND commands ".RS\n${summary}\n.RE\n")
endif()
if(count EQUAL 0)
  message(FATAL_ERROR "no commands found in the output of ${STOREADM} --help")
endif()

set(STOREADM_COMMANDS "${commands}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
