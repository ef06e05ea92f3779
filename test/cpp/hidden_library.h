// SPDX-License-Identifier: MIT
// A shared library built with hidden visibility, as many are, that makes
// tabulix error codes of its own: they must still compare equal to the
// caller's, so the error category is one object in the whole process.
#ifndef TABULIX_TEST_HIDDEN_LIBRARY_H
#define TABULIX_TEST_HIDDEN_LIBRARY_H

#include <system_error>

// errc::no_header, made inside the library.
__attribute__((visibility("default"))) std::error_code hidden_library_error();

#endif  // TABULIX_TEST_HIDDEN_LIBRARY_H
