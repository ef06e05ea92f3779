# SPDX-License-Identifier: MIT
# The static library: one relocatable object made from all of the library's
# objects, in which every name but those of the export list is made local.
# Like the shared library, it then defines only the exported names, so its
# internal names can never collide with a program's own:
# - The relocatable link places the members of section groups (COMDAT: inline
#   functions and templates that the objects did not inline, as in a Debug
#   build) like other sections and drops the groups. A group kept with its
#   names made local would be discarded for a program's group of the same
#   name, leaving the library's calls aimed at a discarded section.
# - free_row and free_column, the two exported names without the prefix, are
#   weak: a program may define its own. The library never calls them itself.
# Without the GNU tools (ld -r with --force-group-allocation, objcopy on ELF
# objects) it archives the objects as they are.
set(_tblx_can_prelink OFF)
if(TABULIX_GNU_FLAGS AND CMAKE_LINKER AND CMAKE_OBJCOPY AND NOT APPLE AND NOT WIN32)
  execute_process(COMMAND ${CMAKE_LINKER} --help OUTPUT_VARIABLE _tblx_ld_help ERROR_QUIET)
  if(_tblx_ld_help MATCHES "--force-group-allocation")
    set(_tblx_can_prelink ON)
  else()
    message(STATUS "${CMAKE_LINKER} lacks --force-group-allocation: the static library is not prelinked")
  endif()
endif()
if(_tblx_can_prelink)
  set(_tblx_prelinked ${PROJECT_BINARY_DIR}/tabulix_static.o)
  set(_tblx_keep ${PROJECT_BINARY_DIR}/tabulix_static.keep)
  string(REPLACE ";" "\n" _tblx_keep_lines "${TABULIX_EXPORTS}")
  file(CONFIGURE OUTPUT ${_tblx_keep} CONTENT "${_tblx_keep_lines}\n")
  add_custom_command(OUTPUT ${_tblx_prelinked}
    COMMAND ${CMAKE_LINKER} -r --force-group-allocation -o ${_tblx_prelinked}.all
      $<TARGET_OBJECTS:tabulix_obj>
    COMMAND ${CMAKE_OBJCOPY} --keep-global-symbols=${_tblx_keep}
      --weaken-symbol=free_row --weaken-symbol=free_column
      ${_tblx_prelinked}.all ${_tblx_prelinked}
    DEPENDS tabulix_obj $<TARGET_OBJECTS:tabulix_obj> ${_tblx_keep}
    COMMAND_EXPAND_LISTS VERBATIM
    COMMENT "Prelinking the static library with its internal names made local")
  add_library(tabulix STATIC ${_tblx_prelinked})
  set(TABULIX_STATIC_PRELINKED ON)
else()
  add_library(tabulix STATIC $<TARGET_OBJECTS:tabulix_obj>)
  set(TABULIX_STATIC_PRELINKED OFF)
endif()
# The objects need only the C runtime, so C programs link it as they are.
set_target_properties(tabulix PROPERTIES LINKER_LANGUAGE C)
