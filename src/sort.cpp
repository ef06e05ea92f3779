// SPDX-License-Identifier: MIT
// Sorting the rows by one column, and the names of the sort orders.
#include "sort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

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
  size_t position;      // the key column's place in the header
  const column* first;  // the header's first column
  cmp_wrap_func wrap;
  tblx_cell_cmp_func cmp;

  // The row's cell of the key column; null when the row ended before it.
  // The following row is requested from memory meanwhile: in large tables
  // a merge waits mostly for rows, and it visits that one next.
  const cell* of(const row* r) const noexcept {
    prefetch(r->next);
    return cell_at(r->cells, first, position);
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

// ---- sorting (key, row) pairs --------------------------------------------------
//
// Following the row list, the rows' cells are collected with their keys into
// an array, which is sorted stably and then read out into the row records.
// The array is sorted where the rows cannot be: contiguously, and for integer
// columns by plain 64-bit keys without calling the comparator. Rows without
// the key cell, and then those whose key cell is empty, are set apart in
// input order and go first (ascending); descending, the rows with an empty
// key follow the others and come before those without a key, as the
// comparators and their wrappers place them.
//
// The list itself is left as it is: its i-th record gets the cells of the
// i-th row in the new order. A list in memory order, as rows are added, stays
// so, and the print after a sort reads the row records one after another,
// which lets it request the cells of rows far ahead. A row record thus stands
// for a place in the order, not for the cells it held before the sort.

// A row's cells and its key: for integer columns the value turned so that
// unsigned comparison gives the sort's order.
struct value_pair {
  uint64_t key;
  row_cells* cells;

  // A row set apart from the sort: its key cell is empty (key 1) or missing (0).
  static value_pair apart(row_cells* cells, const cell* key) noexcept {
    return {key != nullptr ? 1U : 0U, cells};
  }
  [[nodiscard]] bool empty_key() const noexcept { return key != 0; }
};

// A row's cells and its key cell, with a prefix of that cell's text turned like the
// integer keys: two pairs with unequal prefixes compare as the prefixes do,
// only equal ones need the comparator. Text cells lie scattered in memory, so
// reading the prefixes once saves most of the cache misses of comparing them.
struct cell_pair {
  uint64_t prefix;
  const cell* key;
  row_cells* cells;

  // A row set apart from the sort: its key cell is empty, or missing (null).
  static cell_pair apart(row_cells* cells, const cell* key) noexcept { return {0, key, cells}; }
  [[nodiscard]] bool empty_key() const noexcept { return key != nullptr; }
};

// The key of an integer cell, ascending order: int values with the sign bit
// flipped compare as unsigned ones like the signed values do.
uint64_t integer_key(const cell* c, bool is_signed) noexcept {
  constexpr uint64_t sign_bit = uint64_t{1} << 63;
  return is_signed ? c->value() ^ sign_bit : c->value();
}

// The key of a double cell, ascending order: the bits of a positive double
// compare as its value does, those of a negative one in reverse, so the sign
// bit is set on positives and all bits of negatives are flipped. -0 counts
// as 0, and every NaN as one value above +inf, as cell_cmp_double has them.
uint64_t double_key(const cell* c) noexcept {
  constexpr uint64_t sign_bit = uint64_t{1} << 63;
  constexpr uint64_t infinity_bits = uint64_t{0x7ff} << 52;
  const uint64_t magnitude = c->value() & ~sign_bit;
  if (magnitude > infinity_bits) return UINT64_MAX;
  if (magnitude == 0) return sign_bit;
  return (c->value() & sign_bit) != 0 ? ~c->value() : c->value() | sign_bit;
}

// The first `bytes` bytes of the text as a big-endian number, zero-filled
// behind a shorter text: the zeros stand for its NUL, which sorts first.
uint64_t text_prefix(const cell* c, unsigned bytes) noexcept {
  uint64_t prefix = 0;
  for (unsigned i = 0; i < bytes; ++i) {
    const auto byte = i < c->str.len ? static_cast<unsigned char>(c->str.text[i]) : 0U;
    prefix = prefix << 8 | byte;
  }
  return prefix;
}

// How a string comparator's order begins: strcmp by the first eight bytes;
// by length first, then by bytes, with the length in the upper half. Other
// comparators get no prefix, so that they decide alone.
uint64_t cell_prefix(const cell* c, tblx_cell_cmp_func cmp) noexcept {
  if (cmp == cell_cmp_str) return text_prefix(c, 8);
  if (cmp == cell_cmp_str_len) return uint64_t{c->str.len} << 32 | text_prefix(c, 4);
  return 0;
}

// Byte `digit` of the key, counted from the lowest.
inline size_t key_byte(uint64_t key, unsigned digit) noexcept {
  return static_cast<size_t>((key >> (8 * digit)) & 0xff);
}

// Stable radix sort of n pairs by their keys, lowest byte first, through a
// scratch array as large; a byte that all keys share is skipped. Gives the
// array that ends up holding the sorted pairs: `pairs` or `scratch`.
value_pair* radix_sort(value_pair* pairs, value_pair* scratch, size_t n) noexcept {
  constexpr unsigned digits = sizeof(uint64_t);
  size_t counts[digits][256] = {};
  for (size_t i = 0; i < n; ++i) {
    for (unsigned d = 0; d < digits; ++d) ++counts[d][key_byte(pairs[i].key, d)];
  }
  for (unsigned d = 0; d < digits; ++d) {
    size_t* next = counts[d];
    if (next[key_byte(pairs[0].key, d)] == n) continue;
    size_t start = 0;
    for (size_t b = 0; b < 256; ++b) start += std::exchange(next[b], start);
    for (size_t i = 0; i < n; ++i) scratch[next[key_byte(pairs[i].key, d)]++] = pairs[i];
    std::swap(pairs, scratch);
  }
  return pairs;
}

// Orders two pairs: true when the one of a later row goes before the one of
// an earlier row, which for equal keys it never does. The prefixes are turned
// for the order already.
struct goes_before {
  tblx_cell_cmp_func cmp;
  bool descending;

  bool operator()(const cell_pair& later, const cell_pair& earlier) const noexcept {
    if (later.prefix != earlier.prefix) return later.prefix < earlier.prefix;
    const int r = cmp(later.key, earlier.key);
    return descending ? r > 0 : r < 0;
  }
};

// Insertion sort of a short stretch: each pair moves in front of the earlier
// ones it goes strictly before.
void insertion_sort(cell_pair* pairs, size_t n, const goes_before& before) noexcept {
  for (size_t i = 1; i < n; ++i) {
    const cell_pair p = pairs[i];
    size_t j = i;
    for (; j > 0 && before(p, pairs[j - 1]); --j) pairs[j] = pairs[j - 1];
    pairs[j] = p;
  }
}

// Merges the sorted stretches [first, mid) and [mid, last) into out; a pair
// of the later stretch goes first only when it goes strictly before.
void merge_into(const cell_pair* first, const cell_pair* mid, const cell_pair* last, cell_pair* out,
                const goes_before& before) noexcept {
  const cell_pair* a = first;
  const cell_pair* b = mid;
  // Stretches already in order, as in presorted input, take one comparison.
  if (a != mid && b != last && !before(*b, mid[-1])) {
    std::memcpy(out, first, static_cast<size_t>(last - first) * sizeof(cell_pair));
    return;
  }
  while (a != mid && b != last) *out++ = before(*b, *a) ? *b++ : *a++;
  while (a != mid) *out++ = *a++;
  while (b != last) *out++ = *b++;
}

// Stable merge sort of n pairs through a scratch array as large: insertion
// sorts of short stretches, then merges of ever longer ones. Gives the array
// that ends up holding the sorted pairs: `pairs` or `scratch`.
cell_pair* merge_sort_pairs(cell_pair* pairs, cell_pair* scratch, size_t n,
                            const goes_before& before) noexcept {
  constexpr size_t stretch = 16;
  for (size_t lo = 0; lo < n; lo += stretch) {
    insertion_sort(pairs + lo, n - lo < stretch ? n - lo : stretch, before);
  }
  for (size_t width = stretch; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = n - lo < width ? n : lo + width;
      const size_t hi = n - mid < width ? n : mid + width;
      merge_into(pairs + lo, pairs + mid, pairs + hi, scratch + lo, before);
    }
    std::swap(pairs, scratch);
  }
  return pairs;
}

// How collected pairs stand before the sort.
enum class presorted : unsigned char { no, in_order, reversed };

// In order: no pair goes before the one in front of it. Reversed: each one
// does, so no two are equal and reversing them keeps the sort stable.
template <typename Pair, typename Before>
presorted presorted_as(const Pair* pairs, size_t n, Before before) noexcept {
  if (n < 2) return presorted::in_order;
  size_t i = 1;
  if (before(pairs[1], pairs[0])) {
    while (i < n && before(pairs[i], pairs[i - 1])) ++i;
    return i == n ? presorted::reversed : presorted::no;
  }
  while (i < n && !before(pairs[i], pairs[i - 1])) ++i;
  return i == n ? presorted::in_order : presorted::no;
}

// The pairs array: `capacity` pairs to collect the rows into, and as many
// for the sort's scratch, allocated at once. Rows with a key fill it from
// the front, those set apart (key missing or empty) from the back, so that
// collecting changes nothing and may stop when the array turns out too small.
template <typename Pair>
class pair_array {
 public:
  explicit pair_array(size_t capacity) noexcept : capacity_(capacity) {
    if (capacity <= SIZE_MAX / 2 / sizeof(Pair)) {
      pairs_ = static_cast<Pair*>(std::malloc(2 * capacity * sizeof(Pair)));
    }
  }
  ~pair_array() { std::free(pairs_); }
  pair_array(const pair_array&) = delete;
  pair_array& operator=(const pair_array&) = delete;
  pair_array(pair_array&&) = delete;
  pair_array& operator=(pair_array&&) = delete;

  // Collects every row in list order, through make_pair(cells, key cell) for
  // those with a key; false when the rows outnumber the capacity.
  template <typename MakePair>
  bool collect(row* rows, const sort_key& key, MakePair make_pair) noexcept {
    if (pairs_ == nullptr) return false;
    for (row* r = rows; r != nullptr; r = r->next) {
      if (keyed_ == capacity_ - apart_) return false;
      const cell* c = key.of(r);
      if (c != nullptr && !c->empty()) {
        pairs_[keyed_++] = make_pair(r->cells, c);
      } else {
        pairs_[capacity_ - ++apart_] = Pair::apart(r->cells, c);
      }
    }
    return true;
  }

  // Sorts the collected pairs through sort(pairs, scratch, count), which
  // gives the array holding the result, and hands the cells to the rows in
  // their order.
  // Pairs in order or strictly reversed, as from a sort by the same column,
  // are left as they are or reversed instead: before(later, earlier) tells
  // whether a pair goes before an earlier one.
  template <typename Before, typename Sort>
  void order_rows(tblx_table* table, bool descending, Before before, Sort sort) const noexcept {
    const Pair* sorted = pairs_;
    switch (presorted_as(pairs_, keyed_, before)) {
      case presorted::in_order:
        if (apart_ == 0) return;  // the rows are in this order already
        break;
      case presorted::reversed:
        std::reverse(pairs_, pairs_ + keyed_);
        break;
      case presorted::no:
        sorted = sort(pairs_, pairs_ + capacity_, keyed_);
        break;
    }
    reorder(table->rows, sorted, descending);
  }

 private:
  // Gives the rows in list order the sorted pairs' cells, and the cells of
  // the rows set apart in input order: ascending, those without a key and
  // then those with an empty one before them; descending, the same after
  // them in the reverse grouping. The list holds as many rows as were
  // collected.
  void reorder(row* rows, const Pair* sorted, bool descending) const noexcept {
    row* r = rows;
    if (!descending) r = take_apart(take_apart(r, false), true);
    for (size_t i = 0; i < keyed_; ++i, r = r->next) r->cells = sorted[i].cells;
    if (descending) take_apart(take_apart(r, true), false);
  }

  // Hands the cells of the rows set apart with an empty key (or with none)
  // to the rows from r on; gives the row after.
  row* take_apart(row* r, bool empty_key) const noexcept {
    for (size_t i = capacity_; i > capacity_ - apart_; --i) {
      if (pairs_[i - 1].empty_key() != empty_key) continue;
      r->cells = pairs_[i - 1].cells;
      r = r->next;
    }
    return r;
  }

  Pair* pairs_ = nullptr;
  size_t capacity_;
  size_t keyed_ = 0;
  size_t apart_ = 0;  // rows whose key cell is missing or empty
};

// Sorts by an integer or double column through value pairs; false, with the rows
// untouched, when the array cannot be had.
template <typename KeyOf>
bool sort_value_pairs(tblx_table* table, const sort_key& key, size_t capacity, KeyOf key_of,
                      bool descending) noexcept {
  pair_array<value_pair> array(capacity);
  // Descending is ascending order of the complemented keys; equal keys stay
  // equal, so their rows keep their input order.
  const uint64_t flip = descending ? UINT64_MAX : 0;
  const bool collected = array.collect(table->rows, key, [&](row_cells* cells, const cell* c) {
    return value_pair{key_of(c) ^ flip, cells};
  });
  if (!collected) return false;
  array.order_rows(
      table, descending, [](const value_pair& a, const value_pair& b) { return a.key < b.key; },
      radix_sort);
  return true;
}

// Sorts by any other column through cell pairs and the comparator; false,
// with the rows untouched, when the array cannot be had.
bool sort_cell_pairs(tblx_table* table, const sort_key& key, size_t capacity,
                     bool descending) noexcept {
  pair_array<cell_pair> array(capacity);
  const uint64_t flip = descending ? UINT64_MAX : 0;
  const bool collected = array.collect(table->rows, key, [&](row_cells* cells, const cell* c) {
    return cell_pair{cell_prefix(c, key.cmp) ^ flip, c, cells};
  });
  if (!collected) return false;
  const goes_before before{key.cmp, descending};
  array.order_rows(table, descending, before, [&](cell_pair* pairs, cell_pair* scratch, size_t n) {
    return merge_sort_pairs(pairs, scratch, n, before);
  });
  return true;
}

// Sorts through a pairs array sized by the row count; false, with the rows
// untouched, when it cannot be allocated or the count is too low to hold them.
bool pair_sort(tblx_table* table, const sort_key& key) noexcept {
  if (table->row_count < 2) return false;
  const auto capacity = static_cast<size_t>(table->row_count);
  const bool descending = key.wrap == cmp_wrap_desc;
  if (key.cmp == cell_cmp_uint || key.cmp == cell_cmp_int) {
    const bool is_signed = key.cmp == cell_cmp_int;
    return sort_value_pairs(
        table, key, capacity, [&](const cell* c) { return integer_key(c, is_signed); }, descending);
  }
  if (key.cmp == cell_cmp_double)
    return sort_value_pairs(table, key, capacity, double_key, descending);
  return sort_cell_pairs(table, key, capacity, descending);
}

}  // namespace

tblx_status sort_rows(tblx_table* table, int sortorder, int column_id,
                      sort_method method) noexcept {
  // Rows flushed are gone: the rows held cannot be put in order among them.
  if (unavailable(table) || table->flushed != nullptr) return TBLX_ERR_INVALID_ARGUMENT;
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

  if (table->rows == nullptr) return TBLX_OK;
  const sort_key key{position, table->columns, wrap, cmp};
  if (method != sort_method::pairs || !pair_sort(table, key)) merge_sort(table, key);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_sort(tblx_table* table, int sortorder,
                                            int column_id) noexcept {
  return sort_rows(table, sortorder, column_id, sort_method::pairs);
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
