# SPDX-License-Identifier: MIT
# Fails unless the shared library defines exactly the names of the export list.
# Usage: cmake -DNM=<nm> -DLIBRARY=<path> -DEXPORTS=<tabulix.sym> [-DSTATIC=ON]
#          -P check_exports.cmake
#    or: cmake -DOBJDUMP=<objdump> -DLIBRARY=<dll> -DEXPORTS=<tabulix.sym>
#          -P check_exports.cmake
# A static archive (-DSTATIC=ON) is checked through its global symbols, a
# Windows DLL (OBJDUMP given) through its export table.
set(_defined "")
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
  endif()
  # The names follow "[Ordinal/Name Pointer] Table" as "\t[ <ordinal>] <name>"
  # lines. (Square brackets would keep a CMake list from splitting: they go.)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [^\n]+\n)*" _table
    "${_dump}")
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" _entries "${_table}")
  string(REGEX REPLACE "\t\\[ *[0-9]+\\] " "" _defined "${_entries}")
else()
  if(STATIC)
    set(_nm_table -g)
  else()
    set(_nm_table -D)
  endif()
  execute_process(COMMAND ${NM} ${_nm_table} --defined-only ${LIBRARY}
    OUTPUT_VARIABLE _nm RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
  endif()

  string(REPLACE "\n" ";" _nm_lines "${_nm}")
  foreach(_line IN LISTS _nm_lines)
    # "<address> <type> <name>[@@<version node>]"; the nodes themselves are
    # absolute symbols (type A), not functions.
    if(_line MATCHES "^[0-9a-fA-F]+ [B-Zb-z] ([^ @]+)(@@?[^ ]+)?$")
      set(_name ${CMAKE_MATCH_1})
      if(NOT _name MATCHES "^(_init|_fini)$")
        list(APPEND _defined ${_name})
      endif()
    endif()
  endforeach()
endif()

file(STRINGS ${EXPORTS} _expected REGEX "^[A-Za-z_]")
list(SORT _defined)
list(SORT _expected)

set(_extra ${_defined})
list(REMOVE_ITEM _extra ${_expected})
set(_missing ${_expected})
list(REMOVE_ITEM _missing ${_defined})
if(_extra OR _missing)
  message(FATAL_ERROR "export list mismatch\n  not in the list: ${_extra}\n  missing: ${_missing}")
endif()
list(LENGTH _defined _count)
message(STATUS "exports match the list (${_count} names)")
