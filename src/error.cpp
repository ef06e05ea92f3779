// SPDX-License-Identifier: MIT
// Status messages.
#include <iterator>

#include "tabulix_internal.h"

namespace {

constexpr const char* messages[] = {
    "Success",
    "Invalid argument",
    "Out of memory",
    "Parse error",
    "Invalid style",
    "Invalid column type",
    "Invalid letter casing",
    "Invalid justification",
    "Cell type mismatch with column type",
    "No header",
    "Header is ended",
    "No column is open",
    "Column is still open",
    "No more columns specified",
    "No row is open",
    "Row is still open",
    "No such column ID",
    "Could not compare values in the specified column",
    "Invalid sort order",
    "Output error",
};
static_assert(std::size(messages) == TBLX_ERR_OUTPUT + 1);

constexpr const char unknown_error[] = "<unknown error>";

}  // namespace

TBLX_EXPORT const char* TBLX_CALL tblx_strerror(tblx_status code) noexcept {
  // Read unsigned so that negative codes fall outside the table too.
  const auto index = static_cast<uint32_t>(code);
  return index < std::size(messages) ? messages[index] : unknown_error;
}
