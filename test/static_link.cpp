// SPDX-License-Identifier: MIT
// A C++ program built at -O0 that instantiates std::max<unsigned long> and
// std::min<unsigned long> itself, as the library's objects do when they are
// not optimised (a Debug build): linked against the static library, whatever
// its build type, it must link, and both its calls and the library's work.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tabulix.h"

int main(int argc, char** /*argv*/) {
  const auto argc_wide = static_cast<unsigned long>(argc);
  const unsigned long most = std::max(argc_wide, 7ul);
  const unsigned long least = std::min(argc_wide, 7ul);
  tblx_table* t = tblx_new();
  char out[64] = {};
  FILE* stream = std::tmpfile();
  const bool built = t != nullptr && stream != nullptr &&
                     tblx_begincolumn(t, TBLX_TYPE_UINT) == TBLX_OK &&
                     tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT) == TBLX_OK &&
                     tblx_setcolumn_summarize(t, 1) == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
                     tblx_endheader(t) == TBLX_OK && tblx_beginrow(t) == TBLX_OK &&
                     tblx_addcell_uint(t, most) == TBLX_OK && tblx_endrow(t) == TBLX_OK &&
                     tblx_beginrow(t) == TBLX_OK && tblx_addcell_uint(t, 100) == TBLX_OK &&
                     tblx_endrow(t) == TBLX_OK &&
                     tblx_print(t, TBLX_PRINT_ROWS | TBLX_PRINT_SUM, stream) == TBLX_OK;
  if (built) {
    std::rewind(stream);
    const size_t n = std::fread(out, 1, sizeof out - 1, stream);
    out[n] = '\0';
  }
  if (stream != nullptr) std::fclose(stream);
  tblx_delete(t);
  const char* expected = "  7\n100\n107\n";
  if (!built || least != 1 || std::strcmp(out, expected) != 0) {
    std::fprintf(stderr, "static_link: built %d, min %lu, printed:\n%s", built, least, out);
    return 1;
  }
  return 0;
}
