# SPDX-License-Identifier: MIT
# The static library: one relocatable object made from all of the library's
# objects, with every hidden symbol made local. Like the shared library, it
# then defines only the exported names, so its internal names can never
# collide with a program's own. Without the GNU tools (ld -r, objcopy on ELF
# objects) it archives the objects as they are.
if(TABULIX_GNU_FLAGS AND CMAKE_LINKER AND CMAKE_OBJCOPY AND NOT APPLE AND NOT WIN32)
  set(_tblx_prelinked ${PROJECT_BINARY_DIR}/tabulix_static.o)
  add_custom_command(OUTPUT ${_tblx_prelinked}
    COMMAND ${CMAKE_LINKER} -r -o ${_tblx_prelinked}.all $<TARGET_OBJECTS:tabulix_obj>
    COMMAND ${CMAKE_OBJCOPY} --localize-hidden ${_tblx_prelinked}.all ${_tblx_prelinked}
    DEPENDS tabulix_obj $<TARGET_OBJECTS:tabulix_obj>
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
