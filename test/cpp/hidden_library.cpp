// SPDX-License-Identifier: MIT
#include "hidden_library.h"

#include "tabulix.hpp"

std::error_code hidden_library_error() { return tabulix::errc::no_header; }
