/* The public header compiled as C90 and used through the shared library. */
#include <stdio.h>
#include <string.h>

#include "tabulix.h"

static int failures = 0;

static void expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "c_api: %s\n", what);
    ++failures;
  }
}

int main(void) {
  tblx_table* t = tblx_new();
  int32_t id = 0;

  expect(t != NULL, "tblx_new");
  expect(strcmp(tblx_version_str(), TBLX_VERSION_STRING) == 0, "version string");
  expect(tblx_version_uint() == 0x50000u, "version number");
  expect(strcmp(tblx_strerror(TBLX_ERR_NO_HEADER), "No header") == 0, "strerror");

  expect(tblx_begincolumn_columnid(t, TBLX_TYPE_STRING, &id) == TBLX_OK, "begincolumn");
  expect(id == 1, "first column ID");
  expect(tblx_setcolumn_title(t, "Name") == TBLX_OK, "title");
  expect(tblx_endcolumn(t) == TBLX_OK, "endcolumn");
  expect(tblx_begincolumn(t, TBLX_TYPE_UINT) == TBLX_OK, "begincolumn uint");
  expect(tblx_setcolumn_summarize(t, 1) == TBLX_OK, "summarize");
  expect(tblx_endcolumn(t) == TBLX_OK, "endcolumn uint");
  expect(tblx_endheader(t) == TBLX_OK, "endheader");

  expect(tblx_beginrow(t) == TBLX_OK, "beginrow");
  expect(tblx_addcell_string(t, "alpha") == TBLX_OK, "string cell");
  expect(tblx_addcell_uint(t, 1200u) == TBLX_OK, "uint cell");
  expect(tblx_addcell_uint(t, 1u) == TBLX_ERR_NO_MORE_COLUMNS, "cell past the last column");
  expect(tblx_endrow(t) == TBLX_OK, "endrow");
  expect(tblx_getrowcount(t) == 1, "row count");

  tblx_delete(t);
  if (failures == 0) puts("c_api: all checks passed");
  return failures == 0 ? 0 : 1;
}
