# SPDX-License-Identifier: MIT
# Fails unless libtabulix(3) lists every status code of tabulix.h with its
# number, and names a code in running text without a colon after it (the
# colon belongs to the list of codes and their messages only).
# Usage: cmake -DHEADER=<tabulix.h> -DPAGE=<libtabulix.3> -P check_library_man_page.cmake
cmake_minimum_required(VERSION 3.20)
file(READ ${HEADER} _header)
file(READ ${PAGE} _page)
string(REGEX MATCHALL "#define (TBLX_OK|TBLX_ERR_[A-Z_]+) [0-9]+" _codes "${_header}")
set(_problems "")
foreach(_code IN LISTS _codes)
  string(REGEX REPLACE "#define ([A-Z_]+) ([0-9]+)" "\\1" _name "${_code}")
  string(REGEX REPLACE "#define ([A-Z_]+) ([0-9]+)" "\\2" _number "${_code}")
  string(FIND "${_page}" ".TP 4\n${_number}\n\\fB${_name}\\fR: " _at)
  if(_at EQUAL -1)
    list(APPEND _problems "${_name} (${_number}) is not in the list of codes")
  endif()
endforeach()
if(NOT _codes)
  list(APPEND _problems "no status codes found in ${HEADER}")
endif()
# In running text a code is followed by a word or a parenthesis, not a colon.
string(REGEX MATCHALL "\\\\fB[A-Z_]+\\\\fR: [a-z(][^\n;]*" _stray "${_page}")
foreach(_line IN LISTS _stray)
  list(APPEND _problems "stray colon: ${_line}")
endforeach()
if(_problems)
  string(REPLACE ";" "\n  " _problems "${_problems}")
  message(FATAL_ERROR "${PAGE}:\n  ${_problems}")
endif()
list(LENGTH _codes _count)
message(STATUS "${PAGE} lists the ${_count} status codes")
