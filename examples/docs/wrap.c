/* SPDX-License-Identifier: MIT */
/* Fields on several lines: a line feed starts a new line inside its field,
 * and a column limited to 8 wraps its texts after blanks. */
#include <stdio.h>
#include <tabulix.h>

int main(void) {
  tblx_table* t = tblx_new();
  if (t == NULL) return 1;
  tblx_setmultiline(t, 1);
  tblx_setmeasuretitles(t, 1); /* "Size" widens its column */
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Name");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_INT);
  tblx_setcolumn_title(t, "Size");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Note");
  tblx_setcolumn_maxwidth(t, 8, TBLX_OVERFLOW_WRAP);
  tblx_endcolumn(t);
  tblx_endheader(t);

  tblx_beginrow(t);
  tblx_addcell_string(t, "alpha\nbeta");
  tblx_addcell_int(t, 12);
  tblx_addcell_string(t, "a long note that wraps");
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "g");
  tblx_addcell_int(t, -3);
  tblx_addcell_string(t, "two\nlines");
  tblx_endrow(t);

  tblx_setstyle(t, TBLX_STYLE_FANCYW);
  /* No figures: everything but the summary line and its rule. */
  tblx_status s = tblx_print_except(t, TBLX_PRINT_SUM_RULE | TBLX_PRINT_SUM, stdout);
  tblx_delete(t);
  return s == TBLX_OK ? 0 : 1;
}
