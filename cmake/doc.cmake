# SPDX-License-Identifier: MIT
# The API reference: `cmake --build <dir> --target doc` writes HTML from the
# Doxygen comments of include/tabulix.h to <dir>/doc/html. Only when Doxygen
# is installed; any warning (such as an undocumented function, parameter or
# constant) fails the target.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "Doxygen not found: no doc target")
  return()
endif()

set(DOXYGEN_PROJECT_NAME libtabulix)
set(DOXYGEN_PROJECT_BRIEF "${PROJECT_DESCRIPTION}")
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/doc)
set(DOXYGEN_OPTIMIZE_OUTPUT_FOR_C YES)
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_NO_PARAMDOC YES)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_QUIET YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_FULL_PATH_NAMES NO)
# The export and calling-convention macros are no part of the declarations
# a reader needs; the internal records stay opaque.
set(DOXYGEN_MACRO_EXPANSION YES)
set(DOXYGEN_EXPAND_ONLY_PREDEF YES)
set(DOXYGEN_PREDEFINED TBLX_API= TBLX_CALL= TBLX_NOEXCEPT=)
set(DOXYGEN_EXCLUDE_SYMBOLS TABULIX_H TBLX_API TBLX_CALL TBLX_NOEXCEPT column row cell)
doxygen_add_docs(doc ${PROJECT_SOURCE_DIR}/include/tabulix.h
  COMMENT "Writing the API reference to ${PROJECT_BINARY_DIR}/doc/html")
