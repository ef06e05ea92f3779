// SPDX-License-Identifier: MIT
// The version as text.
#include "tabulix_internal.h"

TBLX_EXPORT const char* TBLX_CALL tblx_version_str(void) noexcept { return TBLX_VERSION_STRING; }
