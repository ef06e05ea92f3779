// SPDX-License-Identifier: MIT
// The C header compiled as C++98: it may use nothing of C++11.
#include "tabulix.h"

int tabulix_c_header_cxx98_status() { return tblx_strerror(TBLX_OK) != NULL ? 0 : 1; }
