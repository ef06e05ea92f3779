# SPDX-License-Identifier: MIT
# Fails unless the manual page, or the command's guide in Markdown, names every
# long option that `tabulix --help` lists, so that a new option cannot go
# undocumented there.
# Usage: cmake -DTOOL=<tabulix> -DPAGE=<tabulix.1 or command.md> -P check_man_page.cmake
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE _help RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed (${_rc})")
endif()
# The options are the words that start with "--" in the option list, where
# each line begins with blanks and an option.
string(REGEX MATCHALL "\n  +(-[A-Za-z0-9],)?--[a-z0-9-]+" _lines "${_help}")
file(READ ${PAGE} _page)
set(_missing "")
set(_count 0)
foreach(_line IN LISTS _lines)
  string(REGEX MATCH "--[a-z0-9-]+" _option "${_line}")
  math(EXPR _count "${_count} + 1")
  # In roff source a hyphen of an option is written \-.
  if(PAGE MATCHES "\\.md$")
    set(_written "${_option}")
  else()
    string(REPLACE "-" "\\-" _written "${_option}")
  endif()
  string(FIND "${_page}" "${_written}" _at)
  if(_at EQUAL -1)
    list(APPEND _missing ${_option})
  endif()
endforeach()
if(_count EQUAL 0)
  message(FATAL_ERROR "no options found in the output of ${TOOL} --help")
endif()
if(_missing)
  message(FATAL_ERROR "${PAGE} does not describe: ${_missing}")
endif()
message(STATUS "${PAGE} names all ${_count} options of --help")
