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

// A hint to load *p into the cache; a null pointer is fine.
inline void prefetch(const void* p) noexcept {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

// What a merge needs to compare two rows.
struct sort_key {
  size_t position;  // the key column's place in the header
  cmp_wrap_func wrap;
  tblx_cell_cmp_func cmp;

  // The row's cell of the key column; null when the row ended before it.
  // The following row is requested from memory meanwhile: in large tables
  // a merge waits mostly for rows, and it visits that one next.
  const cell* of(const row* r) const noexcept {
    prefetch(r->next);
    const cell* c = r->cells;
    for (size_t i = 0; i < position && c != nullptr; ++i) c = c->next;
    return c;
  }
};

// A sorted, null-terminated list of rows and its last row.
struct row_list {
  row* head;
  row* last;
};

// Merges two sorted lists; older holds rows that came before those of newer
// in the input. A row of newer goes first only when it sorts strictly before
// the head of older, so rows that compare equal keep their input order. That
// is the order that inserting each row in turn in front of the first placed
// row it sorts strictly before would give.
row_list merge(row_list older, row_list newer, const sort_key& key) noexcept {
  row* a = older.head;
  row* b = newer.head;
  // The keys of both heads are kept, so each step looks up one key only.
  const cell* ka = key.of(a);
  const cell* kb = key.of(b);
  // Whole lists in order, as in presorted or reversed input: one comparison
  // joins them. Every row of newer sorting strictly before every row of older
  // is the only case in which the merge would put newer first entirely.
  if (key.wrap(kb, key.of(older.last), key.cmp) >= 0) {
    older.last->next = b;
    return {a, newer.last};
  }
  if (key.wrap(key.of(newer.last), ka, key.cmp) < 0) {
    newer.last->next = a;
    return {b, older.last};
  }
  row* head = nullptr;
  row** link = &head;
  for (;;) {
    if (key.wrap(kb, ka, key.cmp) < 0) {
      *link = b;
      link = &b->next;
      b = b->next;
      if (b == nullptr) {
        *link = a;
        return {head, older.last};
      }
      kb = key.of(b);
    } else {
      *link = a;
      link = &a->next;
      a = a->next;
      if (a == nullptr) {
        *link = b;
        return {head, newer.last};
      }
      ka = key.of(a);
    }
  }
}

// Detaches the longest run at the front of *rest in which no row sorts
// strictly before the one in front of it; such a run is already in its final
// order. *rest becomes the row after it.
row_list take_run(row** rest, const sort_key& key) noexcept {
  row* head = *rest;
  row* last = head;
  const cell* k_last = key.of(last);
  while (row* next = last->next) {
    const cell* k_next = key.of(next);
    if (key.wrap(k_next, k_last, key.cmp) < 0) break;
    last = next;
    k_last = k_next;
  }
  *rest = last->next;
  last->next = nullptr;
  return {head, last};
}

// Stable merge sort of the row list that relinks the rows in place and
// allocates nothing. The input is cut into its ascending runs, which are
// merged like the digits of a binary counter: bins[i] holds the merge of 2^i
// runs, and a higher bin holds rows from earlier in the input. Small merges
// thus work on rows that were just touched and are still in the cache; only
// the few largest merges range over the whole table. Presorted input is a
// single run and costs one pass.
void merge_sort(tblx_table* table, const sort_key& key) noexcept {
  // 2^63 runs cannot exist, so the top bin is never needed in practice; it
  // merely takes whatever would overflow it, which keeps the order right.
  row_list bins[64] = {};
  constexpr size_t top = std::size(bins) - 1;
  size_t used = 0;
  row* rest = table->rows;
  while (rest != nullptr) {
    row_list carry = take_run(&rest, key);
    size_t i = 0;
    for (; bins[i].head != nullptr && i < top; ++i) {
      carry = merge(bins[i], carry, key);
      bins[i].head = nullptr;
    }
    if (bins[i].head != nullptr) carry = merge(bins[i], carry, key);
    bins[i] = carry;
    if (i >= used) used = i + 1;
  }
  // The bins from the lowest up hold ever earlier rows.
  row_list sorted = {nullptr, nullptr};
  for (size_t i = 0; i < used; ++i) {
    if (bins[i].head == nullptr) continue;
    sorted = sorted.head == nullptr ? bins[i] : merge(bins[i], sorted, key);
  }
  table->rows = sorted.head;
  table->rows_tail = sorted.last;
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
