// SPDX-License-Identifier: MIT
#include "topn.hpp"

#include <algorithm>

#include "build.hpp"
#include "sort_keys.hpp"

namespace tabulix::cli {

top_rows::top_rows(std::uint64_t limit, std::vector<sort_column> keys,
                   const std::vector<std::size_t>& by_length)
    : limit_(limit), keys_(std::move(keys)), by_length_(keys_.size()), states_(keys_.size()) {
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    by_length_[k] =
        std::find(by_length.begin(), by_length.end(), keys_[k].column) != by_length.end();
  }
  const unsigned masks = 1U << keys_.size();
  selections_.resize(masks);
  for (unsigned m = 0; m < masks; ++m) selections_[m].text_mask = m;
}

column_settings top_rows::settings_of(const selection& s, std::size_t key) const {
  column_settings c;
  c.kind = (s.text_mask >> key & 1U) != 0 ? column_kind::text : states_[key].numbers;
  c.by_length = by_length_[key];
  return c;
}

bool top_rows::before(const selection& s, const std::vector<stored_field>& a,
                      std::uint64_t a_number, const std::vector<stored_field>& b,
                      std::uint64_t b_number) const {
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    const int order = compare_sort_fields(settings_of(s, k), a[k], b[k]);
    if (order != 0) return keys_[k].descending ? order > 0 : order < 0;
  }
  return a_number < b_number;  // equal keys keep the input order
}

void top_rows::decode_keys(std::string_view record, std::vector<stored_field>& into) const {
  into.assign(keys_.size(), stored_field{});
  record_reader reader(record.data());
  stored_field f;
  for (std::size_t j = 0; reader.next(f); ++j) {
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      if (keys_[k].column == j) into[k] = f;
    }
  }
}

void top_rows::release(std::size_t slot_index) {
  slot& s = slots_[slot_index];
  if (--s.users != 0) return;
  s.bytes.clear();
  s.bytes.shrink_to_fit();
  free_slots_.push_back(slot_index);
}

std::size_t top_rows::keep(std::string_view record, std::uint64_t number) {
  std::size_t at = 0;
  if (free_slots_.empty()) {
    at = slots_.size();
    slots_.emplace_back();
  } else {
    at = free_slots_.back();
    free_slots_.pop_back();
  }
  slot& s = slots_[at];
  s.bytes.assign(record);
  s.number = number;
  s.users = 0;
  decode_keys(s.bytes, s.keys);
  return at;
}

void top_rows::drop(selection& s) {
  s.alive = false;
  for (const std::size_t i : s.heap) release(i);
  s.heap.clear();
  s.heap.shrink_to_fit();
}

void top_rows::reorder(selection& s) {
  std::make_heap(s.heap.begin(), s.heap.end(), [&](std::size_t a, std::size_t b) {
    return before(s, slots_[a].keys, slots_[a].number, slots_[b].keys, slots_[b].number);
  });
}

// A key column that turned into text leaves only the selections that order it
// by bytes; one whose numbers changed kind orders its kept rows again.
void top_rows::update_states(const std::vector<key_column_state>& states) {
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    const key_column_state& now = states[k];
    key_column_state& was = states_[k];
    if (now.text_only == was.text_only && now.numbers_only == was.numbers_only &&
        now.numbers == was.numbers) {
      continue;
    }
    const bool renumbered = now.numbers != was.numbers;
    was = now;
    for (auto& s : selections_) {
      if (!s.alive) continue;
      const bool by_bytes = (s.text_mask >> k & 1U) != 0;
      if ((now.text_only && !by_bytes) || (now.numbers_only && by_bytes)) {
        drop(s);
      } else if (renumbered && !by_bytes) {
        reorder(s);
      }
    }
  }
}

void top_rows::offer(std::string_view record, std::uint64_t number,
                     const std::vector<key_column_state>& states) {
  update_states(states);
  if (limit_ == 0) return;
  decode_keys(record, offered_);
  constexpr auto none = static_cast<std::size_t>(-1);
  std::size_t kept = none;  // the offered row's slot, once a selection takes it
  for (auto& s : selections_) {
    if (!s.alive) continue;
    const auto worse = [&](std::size_t a, std::size_t b) {
      return before(s, slots_[a].keys, slots_[a].number, slots_[b].keys, slots_[b].number);
    };
    if (s.heap.size() == limit_) {
      const slot& worst = slots_[s.heap.front()];
      // A later row with equal keys comes after the kept one: it stays out.
      if (!before(s, offered_, number, worst.keys, worst.number)) continue;
      std::pop_heap(s.heap.begin(), s.heap.end(), worse);
      const std::size_t out = s.heap.back();
      s.heap.pop_back();
      release(out);
    }
    if (kept == none) kept = keep(record, number);
    ++slots_[kept].users;
    s.heap.push_back(kept);
    std::push_heap(s.heap.begin(), s.heap.end(), worse);
  }
}

std::vector<top_rows::row> top_rows::rows(const std::vector<column_kind>& final_kinds) const {
  unsigned mask = 0;
  for (std::size_t k = 0; k < keys_.size() && k < final_kinds.size(); ++k) {
    if (final_kinds[k] == column_kind::text) mask |= 1U << k;
  }
  std::vector<row> chosen;
  const selection& s = selections_[mask];
  for (const std::size_t i : s.heap) chosen.push_back({slots_[i].bytes, slots_[i].number});
  std::sort(chosen.begin(), chosen.end(),
            [](const row& a, const row& b) { return a.number < b.number; });
  return chosen;
}

}  // namespace tabulix::cli
