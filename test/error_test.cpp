// SPDX-License-Identifier: MIT
// Status messages and version queries.
#include <gtest/gtest.h>

#include <cstring>

#include "tabulix.h"

namespace {

TEST(Strerror, EveryCodeHasItsMessage) {
  struct Case {
    tblx_status code;
    const char* message;
  };
  const Case cases[] = {
      {TBLX_OK, "Success"},
      {TBLX_ERR_INVALID_ARGUMENT, "Invalid argument"},
      {TBLX_ERR_NO_MEMORY, "Out of memory"},
      {TBLX_ERR_PARSE, "Parse error"},
      {TBLX_ERR_INVALID_STYLE, "Invalid style"},
      {TBLX_ERR_INVALID_COLUMN_TYPE, "Invalid column type"},
      {TBLX_ERR_INVALID_CASING, "Invalid letter casing"},
      {TBLX_ERR_INVALID_JUSTIFICATION, "Invalid justification"},
      {TBLX_ERR_CELL_TYPE_MISMATCH, "Cell type mismatch with column type"},
      {TBLX_ERR_NO_HEADER, "No header"},
      {TBLX_ERR_HEADER_ENDED, "Header is ended"},
      {TBLX_ERR_NO_OPEN_COLUMN, "No column is open"},
      {TBLX_ERR_COLUMN_OPEN, "Column is still open"},
      {TBLX_ERR_NO_MORE_COLUMNS, "No more columns specified"},
      {TBLX_ERR_NO_OPEN_ROW, "No row is open"},
      {TBLX_ERR_ROW_OPEN, "Row is still open"},
      {TBLX_ERR_NO_SUCH_COLUMN, "No such column ID"},
      {TBLX_ERR_NOT_COMPARABLE, "Could not compare values in the specified column"},
      {TBLX_ERR_INVALID_SORT_ORDER, "Invalid sort order"},
      {TBLX_ERR_OUTPUT, "Output error"},
      {20, "<unknown error>"},
      {-1, "<unknown error>"},
      {INT32_MIN, "<unknown error>"},
      {INT32_MAX, "<unknown error>"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(c.message, tblx_strerror(c.code)) << "code " << c.code;
    // The same constant every time, never a formatted copy.
    EXPECT_EQ(tblx_strerror(c.code), tblx_strerror(c.code));
  }
}

TEST(Version, StringAndNumberAgree) {
  EXPECT_STREQ("0.7.0", tblx_version_str());
  EXPECT_EQ(0x70000u, tblx_version_uint());
  EXPECT_EQ(458752u, tblx_version_uint());
}

}  // namespace
