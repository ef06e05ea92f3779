// SPDX-License-Identifier: MIT
#include "columns.hpp"

#include <algorithm>
#include <functional>

namespace tabulix::cli {

namespace {

std::optional<std::size_t> column_number(std::string_view ref, std::size_t count) {
  std::size_t n = 0;
  if (ref.empty() || ref.size() > 9) return std::nullopt;
  for (const char c : ref) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n < 1 || n > count) return std::nullopt;
  return n - 1;
}

std::string column_list(const std::vector<std::string>& titles) {
  constexpr std::size_t shown = 12;
  std::string list;
  for (std::size_t i = 0; i < titles.size() && i < shown; ++i) {
    if (i != 0) list += ", ";
    list += titles[i];
  }
  if (titles.size() > shown) list += ", ...";
  return list;
}

std::vector<std::string_view> split_commas(std::string_view text) {
  std::vector<std::string_view> items;
  for (;;) {
    const auto comma = text.find(',');
    items.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text.remove_prefix(comma + 1);
  }
}

// For each input column, the positions among the shown columns that show it.
std::vector<std::vector<std::size_t>> index_shown(const std::vector<std::size_t>& shown,
                                                  std::size_t count) {
  std::vector<std::vector<std::size_t>> at(count);
  for (std::size_t j = 0; j < shown.size(); ++j) at[shown[j]].push_back(j);
  return at;
}

// Resolves one option's columns to the shown positions; every column named
// must be shown.
class resolver {
 public:
  resolver(const column_names& names, const std::vector<std::string>& titles,
           const std::vector<std::size_t>& shown)
      : names_(names), titles_(titles), shown_at_(index_shown(shown, titles.size())) {}

  // The positions that show input column `input`, perhaps none.
  [[nodiscard]] const std::vector<std::size_t>& shown_at(std::size_t input) const {
    return shown_at_[input];
  }
  [[nodiscard]] const std::vector<std::size_t>& positions(std::string_view option,
                                                          std::size_t input) const {
    const std::vector<std::size_t>& at = shown_at_[input];
    if (at.empty()) {
      throw usage_error(std::string(option) + ": column " + in_quotes(titles_[input]) +
                        " is not shown (see --columns and --exclude)");
    }
    return at;
  }
  [[nodiscard]] const std::vector<std::size_t>& find(std::string_view option,
                                                     std::string_view ref) const {
    return positions(option, names_.find(option, ref));
  }
  template <class T, class Parse>
  void pairs(const char* option, const std::vector<std::string>& args,
             std::vector<std::pair<std::size_t, T>>& into, Parse&& parse) const {
    for (const auto& arg : args) {
      const auto [input, text] = names_.find_pair(option, arg);
      const T value = parse(text);
      for (const std::size_t j : positions(option, input)) into.emplace_back(j, value);
    }
  }
  void all(const char* option, const std::vector<std::string>& args,
           std::vector<std::size_t>& into) const {
    for (const auto& arg : args) {
      for (const std::size_t j : find(option, arg)) into.push_back(j);
    }
  }

 private:
  const column_names& names_;
  const std::vector<std::string>& titles_;
  std::vector<std::vector<std::size_t>> shown_at_;
};

std::vector<std::size_t> choose_shown(const options& opts, const column_names& names,
                                      std::size_t count) {
  std::vector<std::size_t> shown;
  if (opts.columns.empty()) {
    for (std::size_t i = 0; i < count; ++i) shown.push_back(i);
  }
  for (const auto& list : opts.columns) {
    const auto more = names.find_list("--columns", list);
    shown.insert(shown.end(), more.begin(), more.end());
  }
  std::vector<bool> excluded(count, false);
  for (const auto& list : opts.exclude) {
    for (const std::size_t i : names.find_list("--exclude", list)) excluded[i] = true;
  }
  if (!opts.exclude.empty()) {
    shown.erase(std::remove_if(shown.begin(), shown.end(),
                               [&excluded](std::size_t i) { return excluded[i]; }),
                shown.end());
  }
  return shown;
}

sort_column find_sort_column(const column_names& names, std::string_view arg, std::size_t& input) {
  // A title may itself hold a colon, so the whole text is tried first.
  const auto colon = arg.rfind(':');
  if (colon == std::string_view::npos) {
    input = names.find("--sort", arg);
    return {0, false};
  }
  if (const auto at = names.lookup("--sort", arg)) {
    input = *at;
    return {0, false};
  }
  const std::string_view order = arg.substr(colon + 1);
  if (order != "asc" && order != "desc") {
    throw usage_error("--sort: unknown order " + in_quotes(order) + " in " + in_quotes(arg) +
                      " (asc, desc)");
  }
  input = names.find("--sort", arg.substr(0, colon));
  return {0, order == "desc"};
}

void resolve_figures(const options& opts, const resolver& r, column_requests& req) {
  const std::pair<figure, const std::vector<std::string>*> lists[] = {
      {figure::sum, &opts.sum}, {figure::count, &opts.count}, {figure::min, &opts.min},
      {figure::max, &opts.max}, {figure::mean, &opts.mean},
  };
  for (const auto& [what, args] : lists) {
    const std::string option(figure_option(what));
    for (const auto& arg : *args) {
      for (const std::size_t j : r.find(option, arg)) {
        if (req.figures[j] && *req.figures[j] != what) {
          throw usage_error(option + ": column " + in_quotes(arg) + " shows " +
                            std::string(figure_option(*req.figures[j])).substr(2) +
                            " already; the summary line has one figure per column");
        }
        req.figures[j] = what;
      }
    }
  }
}

// The sort keys and --by-length. A sort key that is not shown is stored
// after the shown columns, as a column that is sorted by but not printed:
// gives those columns' input positions.
std::vector<std::size_t> resolve_sort(const options& opts, const column_names& names,
                                      const resolver& r, column_requests& req) {
  std::vector<std::size_t> hidden;
  for (const auto& arg : opts.sort) {
    std::size_t input = 0;
    const sort_column key = find_sort_column(names, arg, input);
    if (r.shown_at(input).empty()) {
      const auto at = std::find(hidden.begin(), hidden.end(), input);
      req.sort.push_back(
          {req.shown.size() + static_cast<std::size_t>(at - hidden.begin()), key.descending});
      if (at == hidden.end()) hidden.push_back(input);
      continue;
    }
    for (const std::size_t j : r.positions("--sort", input))
      req.sort.push_back({j, key.descending});
  }
  for (const auto& arg : opts.by_length) {
    const std::size_t input = names.find("--by-length", arg);
    const auto at = std::find(hidden.begin(), hidden.end(), input);
    if (at != hidden.end()) {
      req.by_length.push_back(req.shown.size() + static_cast<std::size_t>(at - hidden.begin()));
    } else {
      for (const std::size_t j : r.positions("--by-length", input)) req.by_length.push_back(j);
    }
  }
  return hidden;
}

// Appends the sort keys that are not shown, with the types --type gives them.
void add_hidden(const options& opts, const column_names& names,
                const std::vector<std::size_t>& hidden, column_requests& req) {
  if (hidden.empty()) return;
  for (const std::size_t input : hidden) {
    std::optional<value_type> type;
    for (const auto& arg : opts.types) {
      const auto [at, name] = names.find_pair("--type", arg);
      if (at == input) type = parse_type_name(name);
    }
    req.shown.push_back(input);
    req.add_column();
    req.types.back() = type;
  }
  req.hidden = hidden.size();
  req.all_shown = false;
}

}  // namespace

void column_names::make_index() const {
  if (indexed_) return;
  indexed_ = true;
  const std::vector<std::string>& titles = titles_;
  constexpr std::size_t none = std::string_view::npos;
  index_.reserve(titles.size());
  std::vector<std::size_t> commas;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const auto [at, fresh] = index_.try_emplace(titles[i], i, none);
    if (!fresh && at->second.second == none) at->second.second = i;
    longest_ = std::max(longest_, titles[i].size());
    const auto n = static_cast<std::size_t>(std::count(titles[i].begin(), titles[i].end(), ','));
    if (n != 0) commas.push_back(n);
  }
  std::sort(commas.begin(), commas.end(), std::greater<>());
  commas.erase(std::unique(commas.begin(), commas.end()), commas.end());
  comma_counts_ = std::move(commas);
}

std::optional<std::size_t> column_names::lookup(std::string_view option,
                                                std::string_view ref) const {
  make_index();
  if (ref.size() <= longest_) {
    const auto found = index_.find(ref);
    if (found != index_.end()) {
      const auto [first, second] = found->second;
      if (second != std::string_view::npos) {
        throw usage_error(std::string(option) + ": columns " + std::to_string(first + 1) + " and " +
                          std::to_string(second + 1) + " are both titled " + in_quotes(ref) +
                          "; name the column by its number");
      }
      return first;
    }
  }
  return column_number(ref, titles_.size());
}

std::size_t column_names::find(std::string_view option, std::string_view ref) const {
  if (const auto at = lookup(option, ref)) return *at;
  throw usage_error(std::string(option) + ": no column " + in_quotes(ref) +
                    " (columns: " + column_list(titles_) + "; or a number from 1 to " +
                    std::to_string(titles_.size()) + ")");
}

std::pair<std::size_t, std::string_view> column_names::find_pair(std::string_view option,
                                                                 std::string_view arg) const {
  const auto first = arg.find('=');
  if (first == std::string_view::npos) {
    throw usage_error(std::string(option) + ": expected COL=VALUE, got " + in_quotes(arg));
  }
  for (auto eq = arg.rfind('='); eq != first; eq = arg.rfind('=', eq - 1)) {
    if (const auto at = lookup(option, arg.substr(0, eq))) {
      return {*at, arg.substr(eq + 1)};
    }
  }
  return {find(option, arg.substr(0, first)), arg.substr(first + 1)};
}

std::optional<std::vector<std::size_t>> column_names::range(std::string_view option,
                                                            std::string_view item) const {
  for (auto dash = item.find('-'); dash != std::string_view::npos;
       dash = item.find('-', dash + 1)) {
    const auto from = lookup(option, item.substr(0, dash));
    // "3-": from column 3 to the last.
    const auto to = dash + 1 == item.size() && from && !titles_.empty()
                        ? std::optional<std::size_t>(titles_.size() - 1)
                        : lookup(option, item.substr(dash + 1));
    if (!from || !to) continue;
    std::vector<std::size_t> columns;
    if (*from <= *to) {
      for (std::size_t i = *from; i <= *to; ++i) columns.push_back(i);
    } else {
      for (std::size_t i = *from + 1; i-- > *to;) columns.push_back(i);
    }
    return columns;
  }
  return std::nullopt;
}

std::vector<std::size_t> column_names::find_list(std::string_view option,
                                                 std::string_view list) const {
  const std::vector<std::string_view> items = split_commas(list);
  std::vector<std::size_t> columns;
  make_index();
  for (std::size_t i = 0; i < items.size();) {
    // The longest run of items that together form a title (it may hold
    // commas), else one item: a column or a range.
    std::size_t taken = 0;
    for (const std::size_t commas : comma_counts_) {
      const std::size_t n = commas + 1;
      if (n > items.size() - i) continue;
      const std::string_view joined(
          items[i].data(), static_cast<std::size_t>(items[i + n - 1].data() +
                                                    items[i + n - 1].size() - items[i].data()));
      if (const auto at = lookup(option, joined)) {
        columns.push_back(*at);
        taken = n;
        break;
      }
    }
    if (taken == 0) {
      if (const auto at = lookup(option, items[i])) {
        columns.push_back(*at);
      } else if (const auto span = range(option, items[i])) {
        columns.insert(columns.end(), span->begin(), span->end());
      } else {
        columns.push_back(find(option, items[i]));  // reports the unknown column
      }
      taken = 1;
    }
    i += taken;
  }
  return columns;
}

column_requests resolve_requests(const options& opts, const std::vector<std::string>& titles) {
  const column_names names(titles);
  column_requests req;
  req.shown = choose_shown(opts, names, titles.size());
  req.all_shown = opts.columns.empty() && opts.exclude.empty();
  req.types.resize(req.shown.size());
  req.figures.resize(req.shown.size());
  const resolver r(names, titles, req.shown);

  for (const auto& arg : opts.types) {
    const auto [input, name] = names.find_pair("--type", arg);
    const auto t = parse_type_name(name);
    if (!t) {
      throw usage_error("--type: unknown type " + in_quotes(name) + " (string, int, uint, hex)");
    }
    // A column that is not shown needs no type.
    for (const std::size_t j : r.shown_at(input)) req.types[j] = t;
  }
  const std::vector<std::size_t> hidden = resolve_sort(opts, names, r, req);
  resolve_figures(opts, r, req);
  r.all("--hex-upper", opts.hex_upper, req.hex_upper);
  r.all("--leading-zeros", opts.leading_zeros, req.leading_zeros);
  for (const auto& list : opts.group) {
    if (list == group_all_columns) {
      req.group_all = true;
      continue;
    }
    for (const std::size_t input : names.find_list("--group", list)) {
      for (const std::size_t j : r.positions("--group", input)) req.group.push_back(j);
    }
  }
  for (const std::size_t j : req.by_length) {
    const bool key = std::any_of(req.sort.begin(), req.sort.end(),
                                 [j](const sort_column& k) { return k.column == j; });
    if (!key) {
      throw usage_error("--by-length: column " + in_quotes(titles[req.shown[j]]) +
                        " is not a --sort key");
    }
  }
  r.pairs<std::string>("--suffix", opts.suffix, req.suffix,
                       [](std::string_view text) { return std::string(text); });
  r.pairs<int>("--min-width", opts.min_width, req.min_width,
               [](std::string_view text) { return parse_width("--min-width", text); });
  std::vector<std::string> per_column;
  for (const auto& arg : opts.max_column_width) {
    if (arg.find('=') == std::string::npos) {
      req.every_max_width = parse_width("--max-column-width", arg);
    } else {
      per_column.push_back(arg);
    }
  }
  r.pairs<int>("--max-column-width", per_column, req.max_width,
               [](std::string_view text) { return parse_width("--max-column-width", text); });
  r.pairs<alignment>("--align", opts.align, req.align,
                     [](std::string_view text) { return parse_alignment("--align", text); });
  r.pairs<alignment>("--title-align", opts.title_align, req.title_align,
                     [](std::string_view text) { return parse_alignment("--title-align", text); });
  add_hidden(opts, names, hidden, req);
  return req;
}

}  // namespace tabulix::cli
