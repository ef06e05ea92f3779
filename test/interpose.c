/* SPDX-License-Identifier: MIT */
/* A program that defines its own free_column and free_row, linked against the
 * shared library: the library's own calls to those names must still reach the
 * library's definitions (it is linked with -Bsymbolic-functions). Were this
 * program's called instead, the columns would leak. */
#include <stdio.h>

#include "tabulix.h"

static int foreign_calls = 0;

void TBLX_CALL free_column(struct tblx_column* column) TBLX_NOEXCEPT {
  (void)column;
  ++foreign_calls;
}

void TBLX_CALL free_row(struct tblx_row* row) TBLX_NOEXCEPT {
  (void)row;
  ++foreign_calls;
}

static int fill(tblx_table* t) {
  return tblx_begincolumn(t, TBLX_TYPE_STRING) == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
         tblx_begincolumn(t, TBLX_TYPE_UINT) == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
         tblx_endheader(t) == TBLX_OK && tblx_beginrow(t) == TBLX_OK &&
         tblx_addcell_string(t, "a") == TBLX_OK && tblx_addcell_uint(t, 1) == TBLX_OK &&
         tblx_endrow(t) == TBLX_OK;
}

int main(void) {
  tblx_table* t = tblx_new();
  int filled = t != NULL && fill(t);

  tblx_removerows(t);
  tblx_clean(t);
  filled = filled && fill(t);
  tblx_delete(t);
  if (!filled || foreign_calls != 0) {
    fprintf(stderr, "interpose: table built: %d, calls to this program's functions: %d\n", filled,
            foreign_calls);
    return 1;
  }
  return 0;
}
