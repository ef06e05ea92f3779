/* An installed-package consumer in C: a small order table on stdout. */
#include <stdio.h>

#include <tabulix.h>

static int check(tblx_status status, const char* what) {
  if (status != TBLX_OK) fprintf(stderr, "%s: %s\n", what, tblx_strerror(status));
  return status == TBLX_OK;
}

int main(void) {
  static const char* const items[] = {"pen", "notebook", "ink"};
  static const uint64_t counts[] = {10, 2, 125};
  static const char* const prices[] = {"1.50", "12.5", "0.25"};
  tblx_table* t = tblx_new();
  int ok = t != NULL;
  int i;

  ok = ok && check(tblx_begincolumn(t, TBLX_TYPE_STRING), "item");
  ok = ok && check(tblx_setcolumn_title(t, "Item"), "item title");
  ok = ok && check(tblx_endcolumn(t), "item end");
  ok = ok && check(tblx_begincolumn(t, TBLX_TYPE_STRING), "price");
  ok = ok && check(tblx_setcolumn_title(t, "Price"), "price title");
  ok = ok && check(tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST), "price just");
  ok = ok && check(tblx_endcolumn(t), "price end");
  ok = ok && check(tblx_begincolumn(t, TBLX_TYPE_UINT), "qty");
  ok = ok && check(tblx_setcolumn_title(t, "Qty"), "qty title");
  ok = ok && check(tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT), "qty just");
  ok = ok && check(tblx_setcolumn_summarize(t, 1), "qty sum");
  ok = ok && check(tblx_endcolumn(t), "qty end");
  ok = ok && check(tblx_endheader(t), "header");
  for (i = 0; ok && i < 3; ++i) {
    ok = check(tblx_beginrow(t), "row") && check(tblx_addcell_string(t, items[i]), "cell") &&
         check(tblx_addcell_string(t, prices[i]), "cell") &&
         check(tblx_addcell_uint(t, counts[i]), "cell") && check(tblx_endrow(t), "row end");
  }
  ok = ok && check(tblx_setstyle(t, TBLX_STYLE_FANCY), "style");
  ok = ok && check(tblx_print_all(t, stdout), "print");
  tblx_delete(t);
  return ok ? 0 : 1;
}
