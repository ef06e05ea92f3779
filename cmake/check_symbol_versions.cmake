# SPDX-License-Identifier: MIT
# Fails unless every name of the export list is defined by the shared library
# with the symbol version node that the list gives it, so that a name cannot
# slip into a released node or lose its version.
# Usage: cmake -DREADELF=<readelf> -DLIBRARY=<path> -DEXPORTS=<tabulix.sym>
#          -P check_symbol_versions.cmake
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/symbol_list.cmake)
tabulix_read_symbol_list(${EXPORTS} _list)

execute_process(COMMAND ${READELF} --dyn-syms --wide ${LIBRARY}
  OUTPUT_VARIABLE _syms RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${READELF} failed on ${LIBRARY}")
endif()

# Defined symbols (a section number, not UND) as "<name>@@<node>".
string(REGEX MATCHALL " [0-9]+ [A-Za-z_][A-Za-z0-9_]*@@?[A-Za-z0-9_.]+" _defined "${_syms}")
set(_wrong "")
foreach(_node IN LISTS _list_NODES)
  foreach(_name IN LISTS _list_NAMES_${_node})
    if(NOT _defined MATCHES "(^|;) [0-9]+ ${_name}@@${_node}(;|$)")
      list(APPEND _wrong "${_name} (listed in ${_node})")
    endif()
  endforeach()
endforeach()
if(_wrong)
  string(REPLACE ";" "\n  " _wrong "${_wrong}")
  message(FATAL_ERROR "not defined with the version node of the list:\n  ${_wrong}")
endif()
list(LENGTH _list_NAMES _count)
message(STATUS "all ${_count} names carry their version nodes")
