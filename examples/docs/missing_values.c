/* SPDX-License-Identifier: MIT */
/* Missing values and summary texts: an empty cell where a quantity or a
 * price is unknown, a label and a computed total in the summary line. */
#include <stdio.h>
#include <tabulix.h>

static int32_t add_column(tblx_table* t, unsigned int type, const char* title) {
  int32_t id = -1;
  tblx_begincolumn_columnid(t, type, &id);
  tblx_setcolumn_title(t, title);
  return id;
}

int main(void) {
  tblx_table* t = tblx_new();
  if (t == NULL) return 1;
  int32_t item = add_column(t, TBLX_TYPE_STRING, "Item");
  tblx_endcolumn(t);
  add_column(t, TBLX_TYPE_UINT, "Qty");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  int32_t price = add_column(t, TBLX_TYPE_STRING, "Price");
  tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST);
  tblx_setcolumn_justchar(t, '.');
  tblx_endcolumn(t);
  tblx_endheader(t);

  tblx_beginrow(t);
  tblx_addcell_string(t, "pen");
  tblx_addcell_uint(t, 120);
  tblx_addcell_string(t, "1.25");
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "notebook");
  tblx_addcell_empty(t); /* quantity unknown */
  tblx_addcell_string(t, "12.5");
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "eraser");
  tblx_addcell_uint(t, 35);
  tblx_addcell_empty(t); /* price unknown */
  tblx_endrow(t);

  char total[32];
  snprintf(total, sizeof total, "%.2f", 1.25 + 12.5);
  tblx_setsumtext(t, item, "Total");
  tblx_setsumtext(t, price, total); /* copied: the buffer may go */
  tblx_setstyle(t, TBLX_STYLE_FANCYW);
  tblx_status s = tblx_print_all(t, stdout);

  /* Sorted by quantity, descending: the empty cell goes last. */
  int32_t qty = -1;
  tblx_getcolumnid(t, 1, &qty);
  if (s == TBLX_OK) s = tblx_sort(t, TBLX_SORT_DESC, qty);
  if (s == TBLX_OK) s = tblx_print(t, TBLX_PRINT_ROWS, stdout);
  tblx_delete(t);
  return s == TBLX_OK ? 0 : 1;
}
