/* SPDX-License-Identifier: MIT */
/* The README's C example, built against the installed package. */
#include <stdio.h>
#include <tabulix.h>

int main(void) {
  tblx_table* t = tblx_new();
  if (t == NULL) return 1;

  /* The header: declare each column, then end the header. */
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "File");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_setcolumn_title(t, "Size");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  tblx_endheader(t);

  /* The rows: one cell per column, in column order. */
  tblx_beginrow(t);
  tblx_addcell_string(t, "notes.txt");
  tblx_addcell_uint(t, 1200);
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "photo.jpg");
  tblx_addcell_uint(t, 58000);
  tblx_endrow(t);

  tblx_status s = tblx_print_all(t, stdout);
  if (s != TBLX_OK) fprintf(stderr, "tabulix: %s\n", tblx_strerror(s));
  tblx_delete(t);
  return s == TBLX_OK ? 0 : 1;
}
