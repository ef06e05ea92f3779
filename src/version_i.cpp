// SPDX-License-Identifier: MIT
// The version as one number: major in bits 24-31, minor in 16-23, patch in 8-15.
#include "tabulix_internal.h"

namespace {

constexpr uint32_t packed_version = (uint32_t{TBLX_VERSION_MAJOR} << 24) |
                                    (uint32_t{TBLX_VERSION_MINOR} << 16) |
                                    (uint32_t{TBLX_VERSION_PATCH} << 8);
static_assert(TBLX_VERSION_MAJOR != 0 || TBLX_VERSION_MINOR != 7 || TBLX_VERSION_PATCH != 0 ||
              packed_version == 0x70000);

}  // namespace

TBLX_EXPORT uint32_t TBLX_CALL tblx_version_uint(void) noexcept { return packed_version; }
