/* SPDX-License-Identifier: MIT */
/* A storage report printed in every style that libtabulix knows.
 *
 * Five typed columns: a service name, the signed change of its object count
 * since yesterday, the bytes it stores (summed, with a unit suffix), the base
 * address of its shard map (zero-filled hex) and its monthly price, aligned
 * on the decimal point. The table is filled once and printed four times; the
 * widths are measured on the first print only. */
#include <stdio.h>
#include <stdlib.h>

#include "tabulix.h"

struct service {
  const char* name;
  int64_t delta;
  uint64_t bytes;
  uint64_t shard_map;
  const char* price;
};

static const struct service services[] = {
    {"auth", -12, 73400320u, 0x7f3a0000u, "19.90"},
    {"billing", 4051, 2147483648u, 0x7f3a4000u, "249.5"},
    {"search-index", 170233, 96636764160u, 0x7f400000u, "1204.75"},
    {"thumbnails", -88410, 5368709120u, 0x7f4c8000u, "88"},
    {"mail-queue", 0, 1048576u, 0x10000u, "4.125"},
};

/* Stops the program with the library's message when a call fails. */
static void check(tblx_status status, const char* what) {
  if (status != TBLX_OK) {
    fprintf(stderr, "report: %s: %s\n", what, tblx_strerror(status));
    exit(EXIT_FAILURE);
  }
}

static void declare_columns(tblx_table* t) {
  check(tblx_begincolumn(t, TBLX_TYPE_STRING), "name column");
  check(tblx_setcolumn_title(t, "Service"), "name title");
  check(tblx_endcolumn(t), "name column");

  check(tblx_begincolumn(t, TBLX_TYPE_INT), "delta column");
  check(tblx_setcolumn_title(t, "Change"), "delta title");
  check(tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT), "delta title justification");
  check(tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT), "delta justification");
  check(tblx_endcolumn(t), "delta column");

  check(tblx_begincolumn(t, TBLX_TYPE_UINT), "bytes column");
  check(tblx_setcolumn_title(t, "Stored"), "bytes title");
  check(tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT), "bytes title justification");
  check(tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT), "bytes justification");
  check(tblx_setcolumn_summarize(t, 1), "bytes sum");
  check(tblx_setcolumn_suffix(t, " B"), "bytes suffix");
  check(tblx_endcolumn(t), "bytes column");

  check(tblx_begincolumn(t, TBLX_TYPE_HEX), "address column");
  check(tblx_setcolumn_title(t, "Shard map"), "address title");
  check(tblx_setcolumn_leadingzero(t, 1), "address zeros");
  check(tblx_setcolumn_minwidth(t, 10), "address width"); /* "0x" and 8 digits */
  check(tblx_endcolumn(t), "address column");

  check(tblx_begincolumn(t, TBLX_TYPE_STRING), "price column");
  check(tblx_setcolumn_title(t, "Price"), "price title");
  check(tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST), "price justification");
  check(tblx_setcolumn_justchar(t, '.'), "price alignment character");
  check(tblx_endcolumn(t), "price column");

  check(tblx_endheader(t), "header");
}

static void add_rows(tblx_table* t) {
  size_t i;
  for (i = 0; i < sizeof services / sizeof services[0]; ++i) {
    const struct service* s = &services[i];
    check(tblx_beginrow(t), "row");
    check(tblx_addcell_string(t, s->name), "name cell");
    check(tblx_addcell_int(t, s->delta), "delta cell");
    check(tblx_addcell_uint(t, s->bytes), "bytes cell");
    check(tblx_addcell_hex(t, s->shard_map), "address cell");
    check(tblx_addcell_string(t, s->price), "price cell");
    check(tblx_endrow(t), "row");
  }
}

int main(void) {
  const char* const* styles = tblx_getstylelist();
  size_t i;
  tblx_table* t = tblx_new();
  if (t == NULL) {
    fputs("report: out of memory\n", stderr);
    return EXIT_FAILURE;
  }
  declare_columns(t);
  add_rows(t);

  for (i = 0; styles[i] != NULL; ++i) {
    if (i > 0) putchar('\n');
    printf("Storage report, style \"%s\":\n", styles[i]);
    fflush(stdout); /* the table goes to the same stream, after this line */
    check(tblx_setstylestr(t, styles[i]), "style");
    check(tblx_print_all(t, stdout), "print");
  }
  tblx_delete(t);
  return EXIT_SUCCESS;
}
