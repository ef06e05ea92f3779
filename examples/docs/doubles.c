/* SPDX-License-Identifier: MIT */
/* Double columns with a fixed and with the shortest precision, and digits
 * grouped by three in a summed unsigned column. */
#include <math.h>
#include <stdio.h>
#include <tabulix.h>

struct host {
  const char* name;
  double ms;
  double ratio;
  uint64_t bytes;
};

static const struct host hosts[] = {
    {"alpha", 12.345, 0.1, 1932735283200u},
    {"beta", 0.125, 1.5e-7, 734003200u},
    {"gamma", 1003.5, INFINITY, 52428800u},
};

int main(void) {
  tblx_table* t = tblx_new();
  if (t == NULL) return 1;
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Host");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_DOUBLE);
  tblx_setcolumn_title(t, "ms");
  tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_precision(t, 2);
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_DOUBLE);
  tblx_setcolumn_title(t, "Ratio");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_setcolumn_title(t, "Bytes");
  tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_grouping(t, ',');
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  tblx_endheader(t);

  for (size_t i = 0; i < sizeof hosts / sizeof hosts[0]; i++) {
    tblx_beginrow(t);
    tblx_addcell_string(t, hosts[i].name);
    tblx_addcell_double(t, hosts[i].ms);
    tblx_addcell_double(t, hosts[i].ratio);
    tblx_addcell_uint(t, hosts[i].bytes);
    tblx_endrow(t);
  }
  tblx_setstyle(t, TBLX_STYLE_FANCYW);
  tblx_status s = tblx_print_all(t, stdout);
  tblx_delete(t);
  return s == TBLX_OK ? 0 : 1;
}
