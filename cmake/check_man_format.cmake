# SPDX-License-Identifier: MIT
# Fails when man and groff warn about any manual page under docs/, formatted
# as lintian formats them (man --warnings, UTF-8, 80 columns).
# Usage: cmake -DMAN=<man> -DDOCS=<docs directory> -P check_man_format.cmake
cmake_minimum_required(VERSION 3.20)
file(GLOB _pages ${DOCS}/*.1 ${DOCS}/*.3 ${DOCS}/man3/*.3)
set(ENV{LC_ALL} C.UTF-8)
set(ENV{MANROFFSEQ} "")
set(ENV{MANWIDTH} 80)
set(_problems "")
set(_count 0)
foreach(_page IN LISTS _pages)
  math(EXPR _count "${_count} + 1")
  execute_process(COMMAND ${MAN} --warnings -E UTF-8 -l -Tutf8 -Z ${_page}
    RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _warnings)
  if(NOT _rc EQUAL 0 OR NOT _warnings STREQUAL "")
    string(APPEND _problems "${_page} (${_rc}):\n${_warnings}\n")
  endif()
endforeach()
if(_count EQUAL 0)
  message(FATAL_ERROR "no manual pages under ${DOCS}")
endif()
if(_problems)
  message(FATAL_ERROR "man --warnings:\n${_problems}")
endif()
message(STATUS "${_count} manual pages format without warnings")
