/* SPDX-License-Identifier: MIT */
/* A table printed as JSON Lines and as Markdown through a writer function that
 * collects the bytes in a buffer of the caller's, then titles from a
 * callback. */
#include <stdio.h>
#include <string.h>
#include <tabulix.h>

struct buffer {
  char data[512];
  size_t used;
};

/* Takes the next bytes of a print; nonzero stops the print. */
static int append(void* context, const char* data, size_t size) {
  struct buffer* b = context;
  if (size > sizeof b->data - b->used) return 1;
  memcpy(b->data + b->used, data, size);
  b->used += size;
  return 0;
}

/* A title that names the width it is printed in. */
static const char* size_title(void* arg, uint32_t width) {
  static char title[32];
  snprintf(title, sizeof title, "%s/%u", (const char*)arg, (unsigned)width);
  return title;
}

int main(void) {
  tblx_table* t = tblx_new();
  if (t == NULL) return 1;
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Path");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_HEX);
  tblx_setcolumn_titlefunc(t, size_title, "Size");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_endcolumn(t);
  tblx_endheader(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "/tmp/a \"quoted\" name");
  tblx_addcell_hex(t, 0x1f);
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "/home");
  tblx_addcell_hex(t, 0xbeef);
  tblx_endrow(t);

  /* No figures: the titles and the rows only. */
  const unsigned int sections = TBLX_PRINT_TITLES | TBLX_PRINT_ROWS;
  struct buffer b = {{0}, 0};
  tblx_status s = tblx_setformat(t, TBLX_FORMAT_JSONL);
  if (s == TBLX_OK) s = tblx_print_to(t, sections, append, &b);
  if (s == TBLX_OK) s = tblx_setformat(t, TBLX_FORMAT_MARKDOWN);
  if (s == TBLX_OK) s = tblx_print_to(t, sections, append, &b);
  if (s == TBLX_OK) fwrite(b.data, 1, b.used, stdout);
  if (s == TBLX_OK) s = tblx_setformat(t, TBLX_FORMAT_TEXT);
  if (s == TBLX_OK) s = tblx_print(t, sections, stdout);
  if (s != TBLX_OK) fprintf(stderr, "tabulix: %s\n", tblx_strerror(s));
  tblx_delete(t);
  return s == TBLX_OK ? 0 : 1;
}
