// Sorting the rows by one column, and the names of the sort orders.
#include <cstring>
#include <iterator>

#include "tabulix_internal.h"

namespace {

// Compares the key cells of two rows, either of which may be absent (null):
// a belongs to the row that came later in the input, b to an earlier one.
using cmp_wrap_func = int (*)(const cell* a, const cell* b, tblx_cell_cmp_func cmp) noexcept;

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
  cmp_wrap_func wrap;  // null for the unordered order, which moves no row
  int sortorder;
};

// The names callers may pass, and at the same index what each one selects.
constexpr const char* sortorder_list[] = {"asc", "desc", "unord", nullptr};
constexpr sortorder_ent sortorder_ents[] = {
    {cmp_wrap_asc, TBLX_SORT_ASC},
    {cmp_wrap_desc, TBLX_SORT_DESC},
    {nullptr, TBLX_SORT_UNORD},
};
static_assert(std::size(sortorder_list) == std::size(sortorder_ents) + 1);

// The comparator wrapper of an order that moves rows; null for an unknown
// order. The unordered order has none: tblx_sort returns before it looks.
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

// Detaches the longest run at the front of *rest that is already in order,
// adds its length to *taken and makes *rest the row after it. In order means
// either that no row sorts strictly before the one in front of it, or that
// each one does; such a strictly descending run is reversed, which keeps the
// order stable as no two of its rows compare equal. Presorted and reversed
// input are thus a single run.
row_list take_run(row** rest, size_t* taken, const sort_key& key) noexcept {
  row* head = *rest;
  row* last = head;
  const cell* k_last = key.of(last);
  row* next = last->next;
  const cell* k_next = next != nullptr ? key.of(next) : nullptr;
  size_t rows = 1;
  if (next != nullptr && key.wrap(k_next, k_last, key.cmp) < 0) {
    // Each row taken goes in front; the first one stays the last.
    do {
      last->next = next->next;
      next->next = head;
      head = next;
      k_last = k_next;
      ++rows;
      next = last->next;
      k_next = next != nullptr ? key.of(next) : nullptr;
    } while (next != nullptr && key.wrap(k_next, k_last, key.cmp) < 0);
  } else {
    while (next != nullptr && key.wrap(k_next, k_last, key.cmp) >= 0) {
      last = next;
      k_last = k_next;
      ++rows;
      next = last->next;
      k_next = next != nullptr ? key.of(next) : nullptr;
    }
  }
  *rest = next;
  last->next = nullptr;
  *taken += rows;
  return {head, last};
}

// Sorts the rows at the front of *rest, run by run until at least `rows` are
// taken, and detaches them; *rest becomes the row after them. The runs are
// merged in pairs like the digits of a binary counter: bins[i] holds the
// merge of 2^i runs, and a higher bin holds rows from earlier in the input.
// Each merge thus works on rows that were just touched and are still in the
// cache.
row_list sort_chunk(row** rest, size_t rows, const sort_key& key) noexcept {
  // 2^63 runs cannot exist, so the top bin is never needed in practice; it
  // merely takes whatever would overflow it, which keeps the order right.
  row_list bins[64] = {};
  constexpr size_t top = std::size(bins) - 1;
  size_t used = 0;
  size_t taken = 0;
  do {
    row_list carry = take_run(rest, &taken, key);
    size_t i = 0;
    for (; bins[i].head != nullptr && i < top; ++i) {
      carry = merge(bins[i], carry, key);
      bins[i].head = nullptr;
    }
    if (bins[i].head != nullptr) carry = merge(bins[i], carry, key);
    bins[i] = carry;
    if (i >= used) used = i + 1;
  } while (*rest != nullptr && taken < rows);
  // The bins from the lowest up hold ever earlier rows.
  row_list sorted = {nullptr, nullptr};
  for (size_t i = 0; i < used; ++i) {
    if (bins[i].head == nullptr) continue;
    sorted = sorted.head == nullptr ? bins[i] : merge(bins[i], sorted, key);
  }
  return sorted;
}

// Sorted chunks merged at once. A list is a chain of dependent loads, and in
// a large table the rows lie scattered far beyond the cache, so a merge of
// two lists advances about one row per memory latency. Merging sixteen at
// once keeps sixteen chains in flight (the row after each head is requested
// while the other lists take their turns) and passes over the rows a quarter
// as often, at the same number of comparisons.
constexpr unsigned wide_ways = 16;

// The largest chunk sorted by pairwise merges: a few hundred kilobytes of
// rows and cells, which stay in the cache while they are merged.
constexpr size_t chunk_max = 4096;

// Merges 2 to wide_ways sorted lists, given oldest first: each holds rows
// that came before those of the next one in the input. A tournament tree
// finds the list whose head goes next: node 1 is the root, node n has the
// children 2n and 2n+1, and the nodes from leaves_ on stand for the lists.
// On equal keys the older list wins, so rows that compare equal keep their
// input order, as in merge().
class merger {
 public:
  merger(const row_list* lists, unsigned count, const sort_key& key) noexcept : key_(key) {
    while (leaves_ < count) leaves_ *= 2;
    for (unsigned i = 0; i < wide_ways; ++i) {
      heads_[i] = i < count ? lists[i].head : nullptr;
      lasts_[i] = i < count ? lists[i].last : nullptr;
      keys_[i] = heads_[i] != nullptr ? key_.of(heads_[i]) : nullptr;
      live_ += heads_[i] != nullptr;
    }
    for (unsigned node = leaves_ - 1; node >= 1; --node) replay(node);
  }

  row_list run() noexcept {
    row* head = nullptr;
    row** link = &head;
    // Once a single list is left, the rest of it follows as it is.
    while (live_ > 1) {
      const unsigned w = winner_[1];
      row* r = heads_[w];
      *link = r;
      link = &r->next;
      // While a list is live the root's winner is one (a used-up list loses
      // every match), so r is a row. The analyzer loses track of leaves_ >= 2
      // and with it of the replay below reaching the root.
      heads_[w] = r->next;  // NOLINT(clang-analyzer-core.NullDereference)
      if (heads_[w] != nullptr) {
        keys_[w] = key_.of(heads_[w]);
      } else {
        --live_;
      }
      // Only the matches on the way from that list to the root change.
      for (unsigned node = (leaves_ + w) / 2; node >= 1; node /= 2) replay(node);
    }
    const unsigned w = winner_[1];
    *link = heads_[w];
    return {head, lasts_[w]};
  }

 private:
  [[nodiscard]] unsigned entrant(unsigned node) const noexcept {
    return node >= leaves_ ? node - leaves_ : winner_[node];
  }

  // The left child's lists are all older than the right child's, so the
  // right one wins only when its head sorts strictly first. A used-up list
  // always loses.
  void replay(unsigned node) noexcept {
    const unsigned left = entrant(2 * node);
    const unsigned right = entrant(2 * node + 1);
    bool take_right = heads_[left] == nullptr;
    if (heads_[left] != nullptr && heads_[right] != nullptr) {
      take_right = key_.wrap(keys_[right], keys_[left], key_.cmp) < 0;
    }
    winner_[node] = static_cast<unsigned char>(take_right ? right : left);
  }

  const sort_key& key_;
  unsigned leaves_ = 1;  // count rounded up to a power of two
  row* heads_[wide_ways] = {};
  row* lasts_[wide_ways] = {};
  const cell* keys_[wide_ways] = {};  // key cells of the heads, each looked up once
  unsigned char winner_[wide_ways] = {};
  unsigned live_ = 0;  // lists not used up yet
};

row_list merge_lists(const row_list* lists, unsigned count, const sort_key& key) noexcept {
  if (count == 2) return merge(lists[0], lists[1], key);
  return merger(lists, count, key).run();
}

// Rows per chunk for a table of n rows: n divided by wide_ways as often as it
// takes to get down to chunk_max. The chunks then fill whole wide merges, so
// that only the last merge ranges over the whole table.
size_t chunk_rows(size_t n) noexcept {
  while (n > chunk_max) n = (n + wide_ways - 1) / wide_ways;
  return n;
}

// Stable merge sort of the row list that relinks the rows in place and
// allocates nothing. The input is cut into chunks small enough to sort
// within the cache, and the sorted chunks are merged wide_ways at a time
// like the digits of a counter to base wide_ways: the stack holds lists
// oldest first, each with its level (the merge of wide_ways^level chunks),
// and whenever its top wide_ways lists share a level they become one list of
// the next level. The row count only sizes the chunks; were it wrong, the
// order would still be right.
void merge_sort(tblx_table* table, const sort_key& key) noexcept {
  // Fewer than 2^64 chunks fill at most wide_ways - 1 lists on each of 16
  // levels, so the stack cannot fill; were it full, merging its top lists
  // anyway would still keep the order right.
  constexpr size_t capacity = (wide_ways - 1) * 16 + 1;
  row_list lists[capacity];
  unsigned char levels[capacity];
  size_t depth = 0;
  const size_t chunk = chunk_rows(static_cast<uint32_t>(table->row_count));
  row* rest = table->rows;
  while (rest != nullptr) {
    lists[depth] = sort_chunk(&rest, chunk, key);
    levels[depth++] = 0;
    while (depth >= wide_ways &&
           (levels[depth - wide_ways] == levels[depth - 1] || depth == capacity)) {
      depth -= wide_ways;
      lists[depth] = merger(lists + depth, wide_ways, key).run();
      ++levels[depth++];
    }
  }
  // What is left, lowest level first: the lists of a level are merged with
  // the merge of all lower levels, at most wide_ways lists at a time.
  while (depth > 1) {
    size_t first = depth - 1;
    const unsigned char level = levels[first - 1];
    while (first > 0 && levels[first - 1] == level && depth - first < wide_ways) --first;
    lists[first] = merge_lists(lists + first, static_cast<unsigned>(depth - first), key);
    levels[first] = level;
    depth = first + 1;
  }
  table->rows = lists[0].head;
  table->rows_tail = lists[0].last;
}

}  // namespace

TBLX_EXPORT tblx_status TBLX_CALL tblx_sort(tblx_table* table, int sortorder,
                                            int column_id) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
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
