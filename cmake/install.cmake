# SPDX-License-Identifier: MIT
# Installation: the library (with its SONAME links), both headers, a CMake
# package giving tabulix::tabulix, a pkg-config file, the manual pages of the
# library and of each function, and the documents (README, CHANGELOG, LICENSE).
include(CMakePackageConfigHelpers)

set(TABULIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tabulix
  CACHE STRING "Where the CMake package files go, below the prefix")
set(TABULIX_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  CACHE STRING "Where tabulix.pc goes, below the prefix")

# Programs installed with the library find it through an RPATH relative to
# their own place, so that any prefix works; none when the library goes to a
# directory that the linker searches anyway (as /usr/lib/<multiarch>).
set(TABULIX_INSTALL_RPATH "")
set(_tblx_system_dirs ${CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES} ${CMAKE_C_IMPLICIT_LINK_DIRECTORIES})
if(NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST _tblx_system_dirs)
  file(RELATIVE_PATH _tblx_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set(TABULIX_INSTALL_RPATH "$ORIGIN/${_tblx_bin_to_lib}")
endif()

install(TARGETS tabulix EXPORT tabulixTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tabulix.h ${PROJECT_SOURCE_DIR}/include/tabulix.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/libtabulix.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
# A page per function (man 3 tblx_sort), made from the header's comments by
# scripts/gen_man3.py.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/man3/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
  FILES_MATCHING PATTERN "*.3")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT tabulixTargets NAMESPACE tabulix:: DESTINATION ${TABULIX_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tabulixConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tabulixConfig.cmake
  INSTALL_DESTINATION ${TABULIX_CMAKE_DIR})
# Within 0.x a release only adds to the interface, and the symbol versions
# keep programs built against an older release working: a request is met by
# the same major version at that version or later. find_package(tabulix 0.5)
# accepts 0.7.0; find_package(tabulix 0.8) refuses it, as it may lack names
# that 0.8 added.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tabulixConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tabulixConfig.cmake
  ${PROJECT_BINARY_DIR}/tabulixConfigVersion.cmake
  DESTINATION ${TABULIX_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so that an install with
# `cmake --install --prefix <dir>` is found where it lands.
function(tabulix_pc_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()
if(IS_ABSOLUTE "${TABULIX_PKGCONFIG_DIR}")
  set(TABULIX_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _tblx_up /prefix/${TABULIX_PKGCONFIG_DIR} /prefix)
  string(REGEX REPLACE "/$" "" _tblx_up "${_tblx_up}")
  set(TABULIX_PC_PREFIX "\${pcfiledir}/${_tblx_up}")
endif()
tabulix_pc_path(TABULIX_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
tabulix_pc_path(TABULIX_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
if(TABULIX_LIBRARY_TYPE STREQUAL "SHARED")
  set(TABULIX_PC_CFLAGS "")
else()
  set(TABULIX_PC_CFLAGS " -DTBLX_STATIC")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tabulix.pc.in ${PROJECT_BINARY_DIR}/tabulix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tabulix.pc DESTINATION ${TABULIX_PKGCONFIG_DIR})
