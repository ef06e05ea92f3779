// SPDX-License-Identifier: MIT
// The first N rows of the sorted table (--sort with --head N), chosen while
// reading: only the N best rows are kept, in a bounded heap over the sort
// keys, and equal keys keep their input order as the full sort does.
//
// How a key column orders its values depends on its type, which is known
// only once every value is read: numbers order by value, texts by bytes. A
// column that holds only numbers so far may still turn into text, so the
// rows are chosen under both orders at once (for k such key columns, 2^k
// selections that share their rows); the type the column ends with picks one
// of them. Numbers of any kind order alike by value, so a column that goes
// from int to decimal only needs its kept rows ordered again.
#ifndef TABULIX_TOOL_TOPN_HPP
#define TABULIX_TOOL_TOPN_HPP

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "columns.hpp"
#include "infer.hpp"
#include "plan.hpp"
#include "store.hpp"

namespace tabulix::cli {

// What a key column's values may still be ordered as, while reading.
struct key_column_state {
  column_kind numbers = column_kind::int64;  // the kind if the column stays numbers
  bool text_only = false;                    // it holds text: only the byte order is left
  bool numbers_only = false;                 // its type is a number type the user chose
};

class top_rows {
 public:
  // Keeps `limit` rows under the keys (positions among the stored columns);
  // `by_length` lists the key columns that sort by length first.
  top_rows(std::uint64_t limit, std::vector<sort_column> keys,
           const std::vector<std::size_t>& by_length);

  // Offers one encoded record, the row numbered `number` in the input, with
  // the state of each key column (in the order of the keys) after it.
  void offer(std::string_view record, std::uint64_t number,
             const std::vector<key_column_state>& states);

  // The rows chosen for the key columns' final kinds (in key order), in
  // input order, with their numbers.
  struct row {
    std::string_view record;
    std::uint64_t number;
  };
  [[nodiscard]] std::vector<row> rows(const std::vector<column_kind>& final_kinds) const;

 private:
  struct slot {
    std::string bytes;
    std::uint64_t number = 0;
    std::vector<stored_field> keys;  // the key columns' fields, pointing into bytes
    unsigned users = 0;              // selections that keep it
  };
  struct selection {
    unsigned text_mask = 0;  // key i orders by bytes when bit i is set
    bool alive = true;
    std::vector<std::size_t> heap;  // slot indices, the worst row on top
  };

  [[nodiscard]] column_settings settings_of(const selection& s, std::size_t key) const;
  // Whether row a comes before row b in the selection's order.
  [[nodiscard]] bool before(const selection& s, const std::vector<stored_field>& a,
                            std::uint64_t a_number, const std::vector<stored_field>& b,
                            std::uint64_t b_number) const;
  void update_states(const std::vector<key_column_state>& states);
  void reorder(selection& s);
  void drop(selection& s);
  void release(std::size_t slot_index);
  std::size_t keep(std::string_view record, std::uint64_t number);
  void decode_keys(std::string_view record, std::vector<stored_field>& into) const;

  std::uint64_t limit_;
  std::vector<sort_column> keys_;
  std::vector<bool> by_length_;  // per key
  std::vector<key_column_state> states_;
  std::vector<selection> selections_;
  std::deque<slot> slots_;
  std::vector<std::size_t> free_slots_;
  std::vector<stored_field> offered_;  // the offered record's key fields
};

}  // namespace tabulix::cli

#endif
