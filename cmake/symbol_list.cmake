# SPDX-License-Identifier: MIT
# Reads src/tabulix.sym: the exported names, grouped in symbol version nodes.
#
# tabulix_read_symbol_list(<file> <prefix>) sets, in the caller's scope:
#   <prefix>_NODES          the nodes in file order (each inherits the one before)
#   <prefix>_NAMES_<node>   the names of one node
#   <prefix>_NAMES          every name
# It fails on a name before the first node, a name listed twice, or a node
# marked "released: N names" that holds another number of names: a released
# node never changes, so a new name put into one (say, in alphabetical order)
# is caught here rather than by the programs that would miss it.
function(tabulix_read_symbol_list file prefix)
  file(STRINGS ${file} _lines REGEX "^[A-Za-z_[]")
  set(_nodes "")
  set(_all "")
  set(_node "")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "^\\[([A-Za-z0-9_.]+)\\]( released: ([0-9]+) names)?$")
      set(_node ${CMAKE_MATCH_1})
      list(APPEND _nodes ${_node})
      set(_names_${_node} "")
      set(_released_${_node} "${CMAKE_MATCH_3}")
    elseif(_line MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      if(NOT _node)
        message(FATAL_ERROR "${file}: ${_line} comes before the first [NODE] line")
      endif()
      if(_line IN_LIST _all)
        message(FATAL_ERROR "${file}: ${_line} is listed twice")
      endif()
      list(APPEND _names_${_node} ${_line})
      list(APPEND _all ${_line})
    else()
      message(FATAL_ERROR "${file}: cannot read the line \"${_line}\"")
    endif()
  endforeach()
  foreach(_node IN LISTS _nodes)
    list(LENGTH _names_${_node} _count)
    if(NOT _released_${_node} STREQUAL "" AND NOT _count EQUAL _released_${_node})
      message(FATAL_ERROR "${file}: the released node ${_node} must keep its "
        "${_released_${_node}} names but has ${_count}; new names go into the last node")
    endif()
    set(${prefix}_NAMES_${_node} ${_names_${_node}} PARENT_SCOPE)
  endforeach()
  set(${prefix}_NODES ${_nodes} PARENT_SCOPE)
  set(${prefix}_NAMES ${_all} PARENT_SCOPE)
endfunction()

# tabulix_write_version_script(<file> <prefix>) writes a GNU linker version
# script from what tabulix_read_symbol_list(... <prefix>) read. Everything
# not listed is local; a node without names yet is left out.
function(tabulix_write_version_script file prefix)
  set(_map "")
  set(_previous "")
  set(_local "  local: *;\n")
  foreach(_node IN LISTS ${prefix}_NODES)
    if(NOT ${prefix}_NAMES_${_node})
      continue()
    endif()
    string(APPEND _map "${_node} {\n  global:\n")
    foreach(_name IN LISTS ${prefix}_NAMES_${_node})
      string(APPEND _map "    ${_name};\n")
    endforeach()
    string(APPEND _map "${_local}}${_previous};\n")
    set(_local "")
    set(_previous " ${_node}")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${_map}")
endfunction()
