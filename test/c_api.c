/* SPDX-License-Identifier: MIT */
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

/* Prints the table in the fancy style into a temporary file and compares
 * every byte written with the expected text. */
static void expect_printed(tblx_table* t, const char* expected) {
  char buffer[512];
  size_t got;
  FILE* f = tmpfile();

  expect(f != NULL, "tmpfile");
  if (f == NULL) return;
  expect(tblx_setstyle(t, TBLX_STYLE_FANCY) == TBLX_OK, "setstyle");
  expect(tblx_isfancy(t) == 1, "isfancy");
  expect(tblx_print_all(t, f) == TBLX_OK, "print_all");
  rewind(f);
  got = fread(buffer, 1, sizeof buffer, f);
  expect(got == strlen(expected) && memcmp(buffer, expected, got) == 0, "printed bytes");
  fclose(f);
}

int main(void) {
  tblx_table* t = tblx_new();
  int32_t id = 0;

  expect(t != NULL, "tblx_new");
  expect(strcmp(tblx_version_str(), TBLX_VERSION_STRING) == 0, "version string");
  expect(tblx_version_uint() == 0x70000u, "version number");
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
  expect(tblx_beginrow(t) == TBLX_OK, "second row");
  expect(tblx_addcell_string(t, "b") == TBLX_OK, "second string cell");
  expect(tblx_addcell_uint(t, 35u) == TBLX_OK, "second uint cell");
  expect(tblx_endrow(t) == TBLX_OK, "second endrow");
  expect_printed(t,
                 "Name |    \n"
                 "-----+----\n"
                 "alpha|1200\n"
                 "b    |35  \n"
                 "-----+----\n"
                 "     |1235\n");

  tblx_delete(t);
  if (failures == 0) puts("c_api: all checks passed");
  return failures == 0 ? 0 : 1;
}
