// Sorting the rows by one column, and the names of the sort orders.
#include <cstring>
#include <iterator>

#include "tabulix_internal.h"

namespace {

// Compares the key cells of two rows, either of which may be absent (null):
// a belongs to the row that came later in the input, b to an earlier one.
using cmp_wrap_func = int (*)(const cell* a, const cell* b, tblx_cell_cmp_func cmp) noexcept;

int cmp_wrap_unord(const cell* /*a*/, const cell* /*b*/, tblx_cell_cmp_func /*cmp*/) noexcept {
  return 0;
}

// Rows without a key cell come first.
int cmp_wrap_asc(const cell* a, const cell* b, tblx_cell_cmp_func cmp) noexcept {
  if (a == nullptr) return b == nullptr ? 0 : -1;
  if (b == nullptr) return 1;
  return cmp(a, b);
}

// Rows without a key cell come last; present keys in reverse order. Only the
// sign of cmp is turned, so even INT_MIN cannot overflow.
int cmp_wrap_desc(const cell* a, const cell* b, tblx_cell_cmp_func cmp) noexcept {
  if (a == nullptr) return b == nullptr ? 0 : 1;
  if (b == nullptr) return -1;
  const int r = cmp(a, b);
  return (r < 0) - (r > 0);
}

struct sortorder_ent {
  cmp_wrap_func wrap;
  int sortorder;
};

// The names callers may pass, and at the same index what each one selects.
constexpr const char* sortorder_list[] = {"asc", "desc", "unord", nullptr};
constexpr sortorder_ent sortorder_ents[] = {
    {cmp_wrap_asc, TBLX_SORT_ASC},
    {cmp_wrap_desc, TBLX_SORT_DESC},
    {cmp_wrap_unord, TBLX_SORT_UNORD},
};
static_assert(std::size(sortorder_list) == std::size(sortorder_ents) + 1);

cmp_wrap_func find_wrap(int sortorder) noexcept {
  for (size_t i = 0; sortorder_list[i] != nullptr; ++i) {
    if (sortorder_ents[i].sortorder == sortorder) return sortorder_ents[i].wrap;
  }
  return nullptr;
}

// The column with the given ID and its position in the header, or null.
const column* find_column(const tblx_table* table, int32_t id, size_t* position) noexcept {
  size_t pos = 0;
  for (const column* c = table->columns; c != nullptr; c = c->next, ++pos) {
    if (c->id == id) {
      *position = pos;
      return c;
    }
  }
  return nullptr;
}

// What a merge needs to compare two rows.
struct sort_key {
  size_t position;  // the key column's place in the header
  cmp_wrap_func wrap;
  tblx_cell_cmp_func cmp;

  // The row's cell of the key column; null when the row ended before it.
  const cell* of(const row* r) const noexcept {
    const cell* c = r->cells;
    for (size_t i = 0; i < position && c != nullptr; ++i) c = c->next;
    return c;
  }
};

// A list under construction: rows are appended at *link, last is the tail.
struct row_chain {
  row* head = nullptr;
  row** link = &head;
  row* last = nullptr;

  void append(row* r) noexcept {
    *link = r;
    link = &r->next;
    last = r;
  }
};

// Moves up to n rows starting at r onto out; gives the row after them.
row* append_run(row_chain& out, row* r, size_t n) noexcept {
  for (; n > 0 && r != nullptr; --n) {
    row* next = r->next;
    out.append(r);
    r = next;
  }
  return r;
}

// Merges the run a (a_len rows) with the run b that follows it (up to b_len
// rows), appending onto out; gives the row after run b. A row of b goes first
// only when it sorts strictly before the head of a, so rows that compare equal
// keep their input order. This is the order that inserting each row before the
// first placed row it sorts strictly before would give.
row* merge_runs(row_chain& out, row* a, size_t a_len, row* a_last, row* b, size_t b_len,
                const sort_key& key) noexcept {
  // Already in order, as for presorted input: one comparison joins the runs.
  if (key.wrap(key.of(b), key.of(a_last), key.cmp) >= 0) {
    append_run(out, a, a_len);
    return append_run(out, b, b_len);
  }
  // The keys of the two heads are kept, so each step looks up one key only.
  const cell* ka = key.of(a);
  const cell* kb = key.of(b);
  while (a_len > 0 && b_len > 0 && b != nullptr) {
    if (key.wrap(kb, ka, key.cmp) < 0) {
      row* next = b->next;
      out.append(b);
      b = next;
      --b_len;
      if (b_len > 0 && b != nullptr) kb = key.of(b);
    } else {
      row* next = a->next;
      out.append(a);
      a = next;
      --a_len;
      if (a_len > 0) ka = key.of(a);
    }
  }
  append_run(out, a, a_len);
  return append_run(out, b, b_len);
}

// Stable bottom-up merge sort of the row list: merges neighbouring runs of
// 1, 2, 4, ... rows until one run is left. Relinks the rows in place and
// needs no memory beyond a few locals.
void merge_sort(tblx_table* table, const sort_key& key) noexcept {
  row* list = table->rows;
  for (size_t width = 1;; width *= 2) {
    row_chain out;
    size_t merges = 0;
    row* rest = list;
    while (rest != nullptr) {
      ++merges;
      // Run a: up to width rows from rest; b starts behind it.
      row* a = rest;
      row* a_last = a;
      size_t a_len = 1;
      while (a_len < width && a_last->next != nullptr) {
        a_last = a_last->next;
        ++a_len;
      }
      row* b = a_last->next;
      if (b == nullptr) {
        rest = append_run(out, a, a_len);
      } else {
        rest = merge_runs(out, a, a_len, a_last, b, width, key);
      }
    }
    *out.link = nullptr;
    list = out.head;
    if (merges <= 1) {
      table->rows = list;
      table->rows_tail = out.last;
      return;
    }
  }
}

}  // namespace

TBLX_EXPORT tblx_status TBLX_CALL tblx_sort(tblx_table* table, int sortorder,
                                            int column_id) noexcept {
  if (table == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;
  size_t position = 0;
  const column* key_column = find_column(table, column_id, &position);
  if (key_column == nullptr) return TBLX_ERR_NO_SUCH_COLUMN;
  const tblx_cell_cmp_func cmp = tblx_get_cell_cmp__(key_column);
  if (cmp == nullptr) return TBLX_ERR_NOT_COMPARABLE;
  if (sortorder == TBLX_SORT_UNORD) return TBLX_OK;
  const cmp_wrap_func wrap = find_wrap(sortorder);
  if (wrap == nullptr) return TBLX_ERR_INVALID_SORT_ORDER;

  if (table->rows != nullptr) merge_sort(table, sort_key{position, wrap, cmp});
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_parse_sortorder(int* sortorder, const char* name) noexcept {
  if (sortorder == nullptr || name == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  for (size_t i = 0; sortorder_list[i] != nullptr; ++i) {
    if (std::strcmp(name, sortorder_list[i]) == 0) {
      *sortorder = sortorder_ents[i].sortorder;
      return TBLX_OK;
    }
  }
  return TBLX_ERR_PARSE;
}

TBLX_EXPORT const char* const* TBLX_CALL tblx_getsortorderlist(void) noexcept {
  return sortorder_list;
}
