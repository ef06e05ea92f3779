# SPDX-License-Identifier: MIT
# The API reference: `cmake --build <dir> --target doc` writes HTML from the
# Doxygen comments of include/tabulix.h to <dir>/doc/c/html and of
# include/tabulix.hpp to <dir>/doc/cpp/html. Only when Doxygen is installed;
# any warning (an undocumented function, parameter, constant, class or
# member) fails the target.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "Doxygen not found: no doc target")
  return()
endif()

set(DOXYGEN_PROJECT_NAME libtabulix)
set(DOXYGEN_PROJECT_BRIEF "${PROJECT_DESCRIPTION}")
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_QUIET YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_FULL_PATH_NAMES NO)
set(DOXYGEN_MACRO_EXPANSION YES)
set(DOXYGEN_EXPAND_ONLY_PREDEF YES)

# The C header: every parameter and result documented too. The export and
# calling-convention macros are no part of the declarations a reader needs;
# the internal records stay opaque.
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/doc/c)
set(DOXYGEN_OPTIMIZE_OUTPUT_FOR_C YES)
set(DOXYGEN_WARN_NO_PARAMDOC YES)
set(DOXYGEN_PREDEFINED TBLX_API= TBLX_CALL= TBLX_NOEXCEPT=)
set(DOXYGEN_EXCLUDE_SYMBOLS TABULIX_H TBLX_API TBLX_CALL TBLX_NOEXCEPT column row cell)
doxygen_add_docs(doc_c ${PROJECT_SOURCE_DIR}/include/tabulix.h
  COMMENT "Writing the C reference to ${PROJECT_BINARY_DIR}/doc/c/html")

# The C++ header: every public class, member, enumerator and function
# documented; the error_code parameter of every fallible member and the
# throwing forms made from them (the same calls) need no words of their own.
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/doc/cpp)
set(DOXYGEN_OPTIMIZE_OUTPUT_FOR_C NO)
set(DOXYGEN_WARN_NO_PARAMDOC NO)
set(DOXYGEN_DISTRIBUTE_GROUP_DOC YES)
set(DOXYGEN_PREDEFINED TBLX_API= TBLX_CALL= TBLX_NOEXCEPT= TABULIX_VISIBLE_= TABULIX_EXCEPTIONS=1
  "TABULIX_OR_THROW_(signature, ...)=")
set(DOXYGEN_EXCLUDE_SYMBOLS TABULIX_HPP TABULIX_VISIBLE_ TABULIX_STRIP_ TABULIX_OR_THROW_
  tabulix::detail detail)
doxygen_add_docs(doc_cpp ${PROJECT_SOURCE_DIR}/include/tabulix.hpp
  COMMENT "Writing the C++ reference to ${PROJECT_BINARY_DIR}/doc/cpp/html")

add_custom_target(doc DEPENDS doc_c doc_cpp)
