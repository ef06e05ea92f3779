// libtabulix for C++: a header-only layer over the C interface of tabulix.h.
//
//   tabulix::table t;
//   t.add_column(tabulix::type::string).title("Item");
//   t.add_column(tabulix::type::uint64).title("Qty").cell_just(tabulix::just::right).summarize();
//   t.end_header();
//   t.add_row("pen", 10u);
//   std::cout << t;
//
// The table owns its tblx_table* and every text and callable that it hands to
// the library (titles, suffixes, title callbacks), so nothing needs to outlive
// a call in the caller's code. Failures throw std::system_error carrying a
// tabulix::errc and the library's own message; every throwing member has a
// noexcept overload with a trailing std::error_code& instead.
//
// A table is move-only. A moved-from table holds nothing: destroying or
// assigning to it is fine, and every other use reports errc::invalid_argument.
// Column handles refer to the table object they came from; moving the table
// leaves them pointing at the moved-from object. A table is used by one thread
// at a time, printing included (a print refreshes the table's measurements).
//
// Title callables run in the middle of a print of their table. While that
// print runs, the table refuses every call that would change it, print it or
// free what it keeps: they report errc::invalid_argument (throwing forms throw
// it), clean() and remove_rows() included, and change nothing; reading calls
// (row_count, get) keep working. Moving from or assigning to a table while it
// prints leaves both tables as they were (a move gives an empty table), and
// release() gives null. Destroying the table object itself from inside one of
// its own title callables is not allowed: nothing can refuse that.
//
// A title callable that throws gets an empty title, and the print goes on (the
// C library cannot take an exception); the print then reports the first such
// exception. The throwing forms rethrow it as it was (std::bad_alloc stays
// std::bad_alloc). The error_code forms give errc::no_memory for
// std::bad_alloc, the code of a std::system_error, and
// std::errc::operation_canceled for anything else; to_string then gives "",
// while print(FILE*) has written the table with that title empty. A title
// aligned on a character is measured with its callable's result, so after such
// a failure its column may stay too narrow until the rows change.
#ifndef TABULIX_HPP
#define TABULIX_HPP

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <forward_list>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "tabulix.h"

// table::to_string and operator<< print into a memory stream, so they exist
// only where the C library has open_memstream (POSIX.1-2008).
#if __has_include(<unistd.h>)
#include <unistd.h>
#if defined(_POSIX_VERSION) && _POSIX_VERSION >= 200809L
#define TABULIX_HAVE_OPEN_MEMSTREAM 1
#endif
#endif

// Under a leak checker, the texts that release() leaks on purpose are marked.
#if defined(__SANITIZE_ADDRESS__)
#define TABULIX_LEAK_CHECKER_ 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TABULIX_LEAK_CHECKER_ 1
#endif
#endif
#if defined(TABULIX_LEAK_CHECKER_) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#else
#undef TABULIX_LEAK_CHECKER_
#endif

namespace tabulix {

// ---- errors -------------------------------------------------------------------

// The library's status codes, same values.
enum class errc : int {
  ok = TBLX_OK,
  invalid_argument = TBLX_ERR_INVALID_ARGUMENT,
  no_memory = TBLX_ERR_NO_MEMORY,
  parse = TBLX_ERR_PARSE,
  invalid_style = TBLX_ERR_INVALID_STYLE,
  invalid_column_type = TBLX_ERR_INVALID_COLUMN_TYPE,
  invalid_casing = TBLX_ERR_INVALID_CASING,
  invalid_justification = TBLX_ERR_INVALID_JUSTIFICATION,
  cell_type_mismatch = TBLX_ERR_CELL_TYPE_MISMATCH,
  no_header = TBLX_ERR_NO_HEADER,
  header_ended = TBLX_ERR_HEADER_ENDED,
  no_open_column = TBLX_ERR_NO_OPEN_COLUMN,
  column_open = TBLX_ERR_COLUMN_OPEN,
  no_more_columns = TBLX_ERR_NO_MORE_COLUMNS,
  no_open_row = TBLX_ERR_NO_OPEN_ROW,
  row_open = TBLX_ERR_ROW_OPEN,
  no_such_column = TBLX_ERR_NO_SUCH_COLUMN,
  not_comparable = TBLX_ERR_NOT_COMPARABLE,
  invalid_sort_order = TBLX_ERR_INVALID_SORT_ORDER,
};

namespace detail {

class error_category final : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "tabulix"; }
  [[nodiscard]] std::string message(int code) const override { return tblx_strerror(code); }
  // Lets callers test against the portable conditions where one fits.
  [[nodiscard]] std::error_condition default_error_condition(int code) const noexcept override {
    switch (code) {
      case TBLX_ERR_INVALID_ARGUMENT:
        return std::errc::invalid_argument;
      case TBLX_ERR_NO_MEMORY:
        return std::errc::not_enough_memory;
      default:
        return {code, *this};
    }
  }
};

}  // namespace detail

inline const std::error_category& category() noexcept {
  static const detail::error_category instance;
  return instance;
}

inline std::error_code make_error_code(errc e) noexcept {
  return {static_cast<int>(e), category()};
}

}  // namespace tabulix

template <>
struct std::is_error_code_enum<tabulix::errc> : std::true_type {};

namespace tabulix {

// ---- constants ------------------------------------------------------------------

enum class type : unsigned {
  string = TBLX_TYPE_STRING,
  int64 = TBLX_TYPE_INT,
  uint64 = TBLX_TYPE_UINT,
  hex = TBLX_TYPE_HEX,
};

enum class just : unsigned {
  left = TBLX_JUST_LEFT,
  right = TBLX_JUST_RIGHT,
  center = TBLX_JUST_CENTER,
  char_first = TBLX_JUST_CHAR_FIRST,
  char_last = TBLX_JUST_CHAR_LAST,
};

enum class hex_case : unsigned {
  lower = TBLX_HEX_LOWER,
  upper = TBLX_HEX_UPPER,
};

enum class style : int {
  simple = TBLX_STYLE_SIMPLE,
  raw = TBLX_STYLE_RAW,
  fancy = TBLX_STYLE_FANCY,
  fancyw = TBLX_STYLE_FANCYW,
};

enum class order : int {
  unord = TBLX_SORT_UNORD,
  asc = TBLX_SORT_ASC,
  desc = TBLX_SORT_DESC,
};

// Print sections; combine with | and &, ~ gives the other sections.
enum class section : unsigned {
  titles = TBLX_PRINT_TITLES,
  title_rule = TBLX_PRINT_TITLE_RULE,
  rows = TBLX_PRINT_ROWS,
  sum_rule = TBLX_PRINT_SUM_RULE,
  sum = TBLX_PRINT_SUM,
  all = TBLX_PRINT_ALL,
};

constexpr section operator|(section a, section b) noexcept {
  return static_cast<section>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr section operator&(section a, section b) noexcept {
  return static_cast<section>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
constexpr section operator~(section a) noexcept {
  return static_cast<section>(~static_cast<unsigned>(a) & static_cast<unsigned>(section::all));
}
constexpr section& operator|=(section& a, section b) noexcept { return a = a | b; }
constexpr section& operator&=(section& a, section b) noexcept { return a = a & b; }

// A value for a hex column (a plain unsigned integer goes to a uint64 column).
struct hex {
  std::uint64_t value;
};

// ---- free functions ---------------------------------------------------------------

inline std::string_view version() noexcept { return tblx_version_str(); }
inline std::uint32_t version_number() noexcept { return tblx_version_uint(); }

namespace detail {

[[noreturn]] inline void throw_error(std::error_code ec) { throw std::system_error(ec); }

inline void throw_if(const std::error_code& ec) {
  if (ec) throw_error(ec);
}

// Maps a library status to an error_code; returns whether it was a failure.
inline bool fail(tblx_status rc, std::error_code& ec) noexcept {
  if (rc == TBLX_OK) {
    ec.clear();
    return false;
  }
  ec = make_error_code(static_cast<errc>(rc));
  return true;
}

inline void set(std::error_code& ec, errc e) noexcept { ec = make_error_code(e); }

// The library takes NUL-terminated texts: one with a NUL inside would be
// silently cut short, so such texts are refused instead.
inline bool has_nul(std::string_view s) noexcept {
  return !s.empty() && std::memchr(s.data(), '\0', s.size()) != nullptr;
}

inline std::vector<std::string_view> name_list(const char* const* list) {
  std::vector<std::string_view> names;
  for (; list != nullptr && *list != nullptr; ++list) names.emplace_back(*list);
  return names;
}

// Type-erased title callback with the buffer its last result lives in; the
// library uses a title before it asks for the next one, so one buffer does.
class title_source {
 public:
  title_source() = default;
  // Held by pointer only: a copy would slice the callable off.
  title_source(const title_source&) = delete;
  title_source& operator=(const title_source&) = delete;
  title_source(title_source&&) = delete;
  title_source& operator=(title_source&&) = delete;
  virtual ~title_source() = default;

  // Library callback: never lets an exception into C. It gives "" instead and
  // keeps the first exception of the print for the table to report.
  static const char* TBLX_CALL call(void* self, std::uint32_t width) noexcept {
    auto* source = static_cast<title_source*>(self);
    try {
      return source->make(static_cast<unsigned>(width));
    } catch (...) {
      if (source->failure_ != nullptr && !*source->failure_) {
        *source->failure_ = std::current_exception();
      }
      return "";
    }
  }

  // Where call() keeps an exception; the table reads it after each print.
  void report_to(std::exception_ptr* slot) noexcept { failure_ = slot; }

 protected:
  virtual const char* make(unsigned width) = 0;

 private:
  std::exception_ptr* failure_ = nullptr;
};

template <class F>
class title_holder final : public title_source {
 public:
  explicit title_holder(const F& f) : f_(f) {}
  explicit title_holder(F&& f) : f_(std::move(f)) {}

 private:
  const char* make(unsigned width) override {
    using result = std::invoke_result_t<F&, unsigned>;
    if constexpr (std::is_convertible_v<result, const char*>) {
      // A C string is used as it is: the callable keeps it alive; null is "".
      const char* s = f_(width);
      return s != nullptr ? s : "";
    } else {
      text_ = f_(width);
      return text_.c_str();
    }
  }
  F f_;
  std::string text_;  // the last title made, when f gives no C string
};

// Everything the table hands to the library by pointer. Nodes never move, so
// the pointers stay valid however the lists or the table are moved.
struct kept_texts {
  std::forward_list<std::string> texts;
  std::forward_list<std::unique_ptr<title_source>> titles;
  std::exception_ptr failure;  // the first exception of a title callable in this print
};

// Counts the prints of a table that are running, for as long as one runs.
class print_guard {
 public:
  explicit print_guard(int* running) noexcept : running_(running) { ++*running_; }
  print_guard(const print_guard&) = delete;
  print_guard& operator=(const print_guard&) = delete;
  print_guard(print_guard&&) = delete;
  print_guard& operator=(print_guard&&) = delete;
  ~print_guard() { --*running_; }

 private:
  int* running_;
};

// What one print gave: the library's (or the memory stream's) error, and the
// first exception a title callable threw, which is reported in its place.
struct print_outcome {
  std::error_code code;
  std::exception_ptr failure;
};

// The error_code form of a title callable's exception.
inline std::error_code code_of(const std::exception_ptr& failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return make_error_code(errc::no_memory);
  } catch (const std::system_error& e) {
    return e.code();
  } catch (...) {
    return std::make_error_code(std::errc::operation_canceled);
  }
}

inline void report(const print_outcome& outcome, std::error_code& ec) noexcept {
  ec = outcome.failure ? code_of(outcome.failure) : outcome.code;
}

inline void throw_if(const print_outcome& outcome) {
  if (outcome.failure) std::rethrow_exception(outcome.failure);
  throw_if(outcome.code);
}

template <class... Args>
struct ends_with_error_code : std::false_type {};
template <class Last>
struct ends_with_error_code<Last> : std::is_same<Last, std::error_code&> {};
template <class First, class... Rest>
requires(sizeof...(Rest) > 0) struct ends_with_error_code<First, Rest...>
    : ends_with_error_code<Rest...> {
};

template <class T>
concept char_like = std::same_as<T, char> || std::same_as<T, wchar_t> || std::same_as<T, char8_t> ||
    std::same_as<T, char16_t> || std::same_as<T, char32_t> || std::same_as<T, bool>;

// What add_cell takes: texts, integers (not characters or bools), hex{}.
template <class T>
concept cell_value = std::convertible_to<const T&, std::string_view> || std::same_as<T, hex> ||
    (std::integral<T> && !char_like<T>);

}  // namespace detail

// The order named "asc", "desc" or "unord"; errc::parse for any other name.
inline order parse_order(std::string_view name, std::error_code& ec) noexcept {
  int value = TBLX_SORT_UNORD;
  if (detail::has_nul(name)) {
    detail::set(ec, errc::parse);
    return order::unord;
  }
  std::string copy;
  try {
    copy.assign(name);
  } catch (const std::bad_alloc&) {
    detail::set(ec, errc::no_memory);
    return order::unord;
  }
  detail::fail(tblx_parse_sortorder(&value, copy.c_str()), ec);
  return static_cast<order>(value);
}

inline order parse_order(std::string_view name) {
  std::error_code ec;
  order o = parse_order(name, ec);
  detail::throw_if(ec);
  return o;
}

// The names set_style(std::string_view) and parse_order accept, in the
// library's order.
inline std::vector<std::string_view> style_names() {
  return detail::name_list(tblx_getstylelist());
}
inline std::vector<std::string_view> order_names() {
  return detail::name_list(tblx_getsortorderlist());
}

// ---- table -------------------------------------------------------------------------

class table;

// Handle on a declared column: its ID, and while it is the table's open
// column, chainable setters. Setters on a column that is no longer open
// report errc::no_open_column (errc::header_ended once the header is ended).
class column {
 public:
  // A handle on no column: its setters report errc::invalid_argument.
  column() noexcept = default;

  [[nodiscard]] std::int32_t id() const noexcept { return id_; }

  column& title(std::string_view text);
  column& title(std::string_view text, std::error_code& ec) noexcept;

  // f(unsigned width) gives the title for the column's width at print time:
  // anything convertible to std::string, or a C string that f keeps alive.
  // The table keeps its own copy of f. An exception from f gives an empty
  // title, and the print reports it (see the top of this file).
  template <class F>
  requires std::is_invocable_v < std::decay_t<F>
  &, unsigned > column& title_func(F&& f) {
    std::error_code ec;
    title_func(std::forward<F>(f), ec);
    detail::throw_if(ec);
    return *this;
  }
  template <class F>
  requires std::is_invocable_v < std::decay_t<F>
  &, unsigned > column& title_func(F&& f, std::error_code& ec);

  column& title_just(just j);
  column& title_just(just j, std::error_code& ec) noexcept;
  column& cell_just(just j);
  column& cell_just(just j, std::error_code& ec) noexcept;
  column& min_width(int width);
  column& min_width(int width, std::error_code& ec) noexcept;
  column& summarize(bool on = true);
  column& summarize(bool on, std::error_code& ec) noexcept;
  column& hex_case(tabulix::hex_case c);
  column& hex_case(tabulix::hex_case c, std::error_code& ec) noexcept;
  column& leading_zeros(bool on = true);
  column& leading_zeros(bool on, std::error_code& ec) noexcept;
  column& suffix(std::string_view text);
  column& suffix(std::string_view text, std::error_code& ec) noexcept;
  column& sort_by_length(bool on = true);
  column& sort_by_length(bool on, std::error_code& ec) noexcept;
  column& justify_char(char c);
  column& justify_char(char c, std::error_code& ec) noexcept;

 private:
  friend class table;
  column(table* owner, std::int32_t id) noexcept : table_(owner), id_(id) {}

  template <class Setter>
  void apply(std::error_code& ec, Setter&& setter) noexcept;

  table* table_ = nullptr;
  std::int32_t id_ = 0;
};

class table {
 public:
  // A new, empty table in the simple style; errc::no_memory if that fails.
  table() : table_(tblx_new()) {
    if (table_ == nullptr) detail::throw_error(make_error_code(errc::no_memory));
  }
  explicit table(std::error_code& ec) noexcept : table_(tblx_new()) {
    if (table_ == nullptr) {
      detail::set(ec, errc::no_memory);
    } else {
      ec.clear();
    }
  }

  table(const table&) = delete;
  table& operator=(const table&) = delete;

  // A table being printed stays where it is: its callables are running.
  table(table&& other) noexcept {
    if (other.printing_ == 0) take(other);
  }

  table& operator=(table&& other) noexcept {
    if (this != &other && printing_ == 0 && other.printing_ == 0) {
      reset();
      take(other);
    }
    return *this;
  }

  ~table() { reset(); }

  // The C handle, for calls the wrapper does not cover. Header and row calls
  // made through it bypass the wrapper's tracking of the open column, and a
  // print made through it is not known to the wrapper: its title callables
  // must not use clean(), remove_rows(), moves or release() on this table.
  [[nodiscard]] tblx_table* get() const noexcept { return table_; }
  explicit operator bool() const noexcept { return table_ != nullptr; }

  // Gives up the handle; the caller must tblx_delete it. Titles, suffixes and
  // callbacks the columns still use cannot be freed safely any more, so they
  // stay allocated for the rest of the process (clean() first avoids that).
  // Null, keeping the handle, while the table is being printed.
  tblx_table* release() noexcept {
    if (printing_ > 0) return nullptr;
    if (detail::kept_texts* leaked = kept_.release()) {
#ifdef TABULIX_LEAK_CHECKER_
      __lsan_ignore_object(leaked);
#endif
      static_cast<void>(leaked);
    }
    open_id_ = 0;
    header_ended_ = false;
    return std::exchange(table_, nullptr);
  }

  // ---- header ----

  // Declares a column, closing the open one first.
  column add_column(type t) {
    std::error_code ec;
    column c = add_column(t, ec);
    detail::throw_if(ec);
    return c;
  }
  column add_column(type t, std::error_code& ec) noexcept {
    std::int32_t id = 0;
    if (!valid(ec) || !close_column(ec)) return {this, 0};
    if (!detail::fail(tblx_begincolumn_columnid(table_, static_cast<unsigned>(t), &id), ec)) {
      open_id_ = id;
    }
    return {this, id};
  }

  // Closes the open column, if any, and the header.
  void end_header() {
    std::error_code ec;
    end_header(ec);
    detail::throw_if(ec);
  }
  void end_header(std::error_code& ec) noexcept {
    if (!valid(ec) || !close_column(ec)) return;
    if (!detail::fail(tblx_endheader(table_), ec)) header_ended_ = true;
  }

  // ---- rows ----

  void begin_row() { throw_on(&table::begin_row); }
  void begin_row(std::error_code& ec) noexcept { detail::fail(tblx_beginrow(table_), ec); }

  void end_row() { throw_on(&table::end_row); }
  void end_row(std::error_code& ec) noexcept { detail::fail(tblx_endrow(table_), ec); }

  // A cell for the next column of the open row: texts for string columns,
  // signed integers for int64, unsigned for uint64, hex{} for hex columns.
  void add_cell(const char* text, std::error_code& ec) noexcept {
    detail::fail(tblx_addcell_string(table_, text), ec);
  }
  void add_cell(const std::string& text, std::error_code& ec) noexcept {
    if (detail::has_nul(text)) return detail::set(ec, errc::invalid_argument);
    add_cell(text.c_str(), ec);
  }
  void add_cell(std::string_view text, std::error_code& ec) noexcept {
    if (detail::has_nul(text)) return detail::set(ec, errc::invalid_argument);
    try {
      scratch_.assign(text);
    } catch (const std::bad_alloc&) {
      return detail::set(ec, errc::no_memory);
    }
    add_cell(scratch_.c_str(), ec);
  }
  template <std::signed_integral T>
  requires(!detail::char_like<T>) void add_cell(T value, std::error_code& ec) noexcept {
    detail::fail(tblx_addcell_int(table_, static_cast<std::int64_t>(value)), ec);
  }
  template <std::unsigned_integral T>
  requires(!detail::char_like<T>) void add_cell(T value, std::error_code& ec) noexcept {
    detail::fail(tblx_addcell_uint(table_, static_cast<std::uint64_t>(value)), ec);
  }
  void add_cell(hex value, std::error_code& ec) noexcept {
    detail::fail(tblx_addcell_hex(table_, value.value), ec);
  }
  template <detail::cell_value T>
  void add_cell(const T& value) {
    std::error_code ec;
    add_cell(value, ec);
    detail::throw_if(ec);
  }

  // begin_row, add_cell for each value, end_row. A trailing std::error_code&
  // selects the non-throwing form. A refused cell still ends the row, short
  // (so the table stays usable), and its error is the one reported.
  template <class... Args>
  void add_row(Args&&... args) noexcept(detail::ends_with_error_code<Args...>::value) {
    if constexpr (detail::ends_with_error_code<Args...>::value) {
      auto all = std::forward_as_tuple(args...);
      std::error_code& ec = std::get<sizeof...(Args) - 1>(all);
      [&]<std::size_t... I>(std::index_sequence<I...>) { add_row_to(ec, std::get<I>(all)...); }
      (std::make_index_sequence<sizeof...(Args) - 1>{});
    } else {
      std::error_code ec;
      add_row_to(ec, args...);
      detail::throw_if(ec);
    }
  }

  // Ended rows; 0 for a moved-from table.
  [[nodiscard]] std::int32_t row_count() const noexcept {
    return table_ != nullptr ? tblx_getrowcount(table_) : 0;
  }

  // Drops every row (the open one too); keeps the header. Like clean(), it is
  // refused (errc::invalid_argument) while the table is being printed: the
  // C call would silently do nothing.
  void remove_rows() { throw_on(&table::remove_rows); }
  void remove_rows(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    tblx_removerows(table_);
  }

  // Drops columns and rows and reopens the header; keeps style and fillers.
  void clean() { throw_on(&table::clean); }
  void clean(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    tblx_clean(table_);
    kept_.reset();  // no column refers to these any more
    open_id_ = 0;
    header_ended_ = false;
  }

  // ---- style ----

  void set_style(style s) {
    std::error_code ec;
    set_style(s, ec);
    detail::throw_if(ec);
  }
  void set_style(style s, std::error_code& ec) noexcept {
    detail::fail(tblx_setstyle(table_, static_cast<int>(s)), ec);
  }
  // By name: "simple", "raw", "fancy", "fancyw"; errc::parse for others.
  void set_style(std::string_view name) {
    std::error_code ec;
    set_style(name, ec);
    detail::throw_if(ec);
  }
  void set_style(std::string_view name, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (detail::has_nul(name)) return detail::set(ec, errc::parse);
    try {
      scratch_.assign(name);
    } catch (const std::bad_alloc&) {
      return detail::set(ec, errc::no_memory);
    }
    detail::fail(tblx_setstylestr(table_, scratch_.c_str()), ec);
  }
  // Avoids the ambiguity between style and string_view for literals.
  void set_style(const char* name) {
    std::error_code ec;
    set_style(name, ec);
    detail::throw_if(ec);
  }
  void set_style(const char* name, std::error_code& ec) noexcept {
    if (name == nullptr) return detail::set(ec, errc::invalid_argument);
    set_style(std::string_view(name), ec);
  }

  // What the summary line shows for unsummed columns in the given style
  // (fancy and fancyw share one filler).
  void set_sum_filler(style s, char c) {
    std::error_code ec;
    set_sum_filler(s, c, ec);
    detail::throw_if(ec);
  }
  void set_sum_filler(style s, char c, std::error_code& ec) noexcept {
    detail::fail(tblx_setsumreplace(table_, static_cast<unsigned>(s),
                                    static_cast<int>(static_cast<unsigned char>(c))),
                 ec);
  }

  // ---- sorting ----

  void sort(const column& by, order o) {
    std::error_code ec;
    sort(by, o, ec);
    detail::throw_if(ec);
  }
  // A column of another table object is no column of this one.
  void sort(const column& by, order o, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (by.table_ != this) return detail::set(ec, errc::no_such_column);
    sort(by.id(), o, ec);
  }
  void sort(std::int32_t column_id, order o) {
    std::error_code ec;
    sort(column_id, o, ec);
    detail::throw_if(ec);
  }
  void sort(std::int32_t column_id, order o, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::fail(tblx_sort(table_, static_cast<int>(o), column_id), ec);
  }

  // ---- printing ----
  // Printing only refreshes the table's cached measurements, so it is const.

  void print(std::FILE* stream, section s = section::all) const {
    detail::throw_if(print_to(stream, s));
  }
  void print(std::FILE* stream, section s, std::error_code& ec) const noexcept {
    detail::report(print_to(stream, s), ec);
  }
  void print(std::FILE* stream, std::error_code& ec) const noexcept {
    print(stream, section::all, ec);
  }

#ifdef TABULIX_HAVE_OPEN_MEMSTREAM
  // The printed table as a string, by way of open_memstream: without it
  // (TABULIX_HAVE_OPEN_MEMSTREAM undefined) neither to_string nor operator<<
  // is declared, and print(FILE*) is the way out.
  [[nodiscard]] std::string to_string(section s = section::all) const {
    std::string out;
    detail::throw_if(print_into(s, out));
    return out;
  }
  [[nodiscard]] std::string to_string(section s, std::error_code& ec) const noexcept {
    std::string out;
    detail::report(print_into(s, out), ec);
    if (ec) out.clear();
    return out;
  }
  [[nodiscard]] std::string to_string(std::error_code& ec) const noexcept {
    return to_string(section::all, ec);
  }

  // Writes the whole table; a failure sets failbit on the stream.
  friend std::ostream& operator<<(std::ostream& os, const table& t) {
    std::error_code ec;
    std::string text = t.to_string(section::all, ec);
    if (ec) {
      os.setstate(std::ios_base::failbit);
    } else {
      os.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return os;
  }
#endif  // TABULIX_HAVE_OPEN_MEMSTREAM

 private:
  friend class column;

  void reset() noexcept {
    if (table_ != nullptr) tblx_delete(table_);
    table_ = nullptr;
    kept_.reset();
    open_id_ = 0;
    header_ended_ = false;
  }

  void take(table& other) noexcept {
    table_ = std::exchange(other.table_, nullptr);
    kept_ = std::move(other.kept_);
    open_id_ = std::exchange(other.open_id_, 0);
    header_ended_ = std::exchange(other.header_ended_, false);
  }

  // The C calls that make no null test of their own need this one, and so
  // do the members that free what the table keeps: not while it is printed.
  bool valid(std::error_code& ec) const noexcept {
    if (table_ != nullptr && printing_ == 0) return true;
    detail::set(ec, errc::invalid_argument);
    return false;
  }

  // One print; a nested one (from a title callable) is refused before it
  // could take the outer print's exception.
  detail::print_outcome print_to(std::FILE* stream, section s) const noexcept {
    if (printing_ > 0) return {make_error_code(errc::invalid_argument), nullptr};
    // A print made through get() may have left a failure nobody took.
    if (kept_ != nullptr) kept_->failure = nullptr;
    const detail::print_guard guard(&printing_);
    std::error_code ec;
    detail::fail(tblx_print(table_, static_cast<unsigned>(s), stream), ec);
    return {ec, kept_ != nullptr ? std::exchange(kept_->failure, nullptr) : nullptr};
  }

#ifdef TABULIX_HAVE_OPEN_MEMSTREAM
  detail::print_outcome print_into(section s, std::string& out) const noexcept;
#endif

  bool close_column(std::error_code& ec) noexcept {
    if (open_id_ == 0) return true;
    if (detail::fail(tblx_endcolumn(table_), ec)) return false;
    open_id_ = 0;
    return true;
  }

  void throw_on(void (table::*member)(std::error_code&) noexcept) {
    std::error_code ec;
    (this->*member)(ec);
    detail::throw_if(ec);
  }

  // Runs a setter on the open column if it is the one with this ID; the C
  // setters would otherwise act on whichever column is open.
  template <class Setter>
  void on_column(std::int32_t id, std::error_code& ec, Setter&& setter) noexcept {
    if (!valid(ec)) return;
    if (header_ended_) return detail::set(ec, errc::header_ended);
    if (id == 0 || id != open_id_) return detail::set(ec, errc::no_open_column);
    detail::fail(setter(table_), ec);
  }

  // Keeps a copy of text alive as long as the column can use it; gives its
  // address, or null (with ec set) when it cannot.
  const char* keep(std::string_view text, std::error_code& ec) noexcept {
    if (detail::has_nul(text)) {
      detail::set(ec, errc::invalid_argument);
      return nullptr;
    }
    try {
      if (!kept_) kept_ = std::make_unique<detail::kept_texts>();
      return kept_->texts.emplace_front(text).c_str();
    } catch (const std::bad_alloc&) {
      detail::set(ec, errc::no_memory);
      return nullptr;
    }
  }
  // Undoes the last keep() when the library refused the text.
  void drop_kept_text() noexcept { kept_->texts.pop_front(); }

  template <class... Cells>
  void add_row_to(std::error_code& ec, const Cells&... cells) noexcept {
    begin_row(ec);
    if (ec) return;
    std::error_code cell_ec;
    static_cast<void>(((add_cell(cells, cell_ec), !cell_ec) && ...));
    end_row(ec);
    if (cell_ec) ec = cell_ec;
  }

  tblx_table* table_ = nullptr;
  std::unique_ptr<detail::kept_texts> kept_;
  std::int32_t open_id_ = 0;  // ID of the open column, 0 when none
  bool header_ended_ = false;
  std::string scratch_;       // NUL-terminated copies of string_view arguments
  mutable int printing_ = 0;  // prints of this table running (title callables may nest them)
};

// ---- column setters --------------------------------------------------------------

template <class Setter>
void column::apply(std::error_code& ec, Setter&& setter) noexcept {
  if (table_ == nullptr) return detail::set(ec, errc::invalid_argument);
  table_->on_column(id_, ec, std::forward<Setter>(setter));
}

// The throwing setters; each parameter keeps the name of its declaration.
#define TABULIX_COLUMN_THROWING_(name, param, value) \
  inline column& column::name(param value) {         \
    std::error_code ec;                              \
    name(value, ec);                                 \
    detail::throw_if(ec);                            \
    return *this;                                    \
  }

TABULIX_COLUMN_THROWING_(title, std::string_view, text)
TABULIX_COLUMN_THROWING_(title_just, just, j)
TABULIX_COLUMN_THROWING_(cell_just, just, j)
TABULIX_COLUMN_THROWING_(min_width, int, width)
TABULIX_COLUMN_THROWING_(summarize, bool, on)
TABULIX_COLUMN_THROWING_(hex_case, tabulix::hex_case, c)
TABULIX_COLUMN_THROWING_(leading_zeros, bool, on)
TABULIX_COLUMN_THROWING_(suffix, std::string_view, text)
TABULIX_COLUMN_THROWING_(sort_by_length, bool, on)
TABULIX_COLUMN_THROWING_(justify_char, char, c)

#undef TABULIX_COLUMN_THROWING_

inline column& column::title(std::string_view text, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) {
    const char* kept = table_->keep(text, ec);
    if (kept == nullptr) return static_cast<tblx_status>(ec.value());
    tblx_status rc = tblx_setcolumn_title(t, kept);
    if (rc != TBLX_OK) table_->drop_kept_text();
    return rc;
  });
  return *this;
}

inline column& column::suffix(std::string_view text, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) {
    const char* kept = table_->keep(text, ec);
    if (kept == nullptr) return static_cast<tblx_status>(ec.value());
    tblx_status rc = tblx_setcolumn_suffix(t, kept);
    if (rc != TBLX_OK) table_->drop_kept_text();
    return rc;
  });
  return *this;
}

template <class F>
requires std::is_invocable_v < std::decay_t<F>
&, unsigned > column& column::title_func(F&& f, std::error_code& ec) {
  // The copy of f is made first: only its own constructor may throw here.
  std::unique_ptr<detail::title_source> source;
  try {
    source = std::make_unique<detail::title_holder<std::decay_t<F>>>(std::forward<F>(f));
  } catch (const std::bad_alloc&) {
    detail::set(ec, errc::no_memory);
    return *this;
  }
  apply(ec, [&](tblx_table* t) noexcept {
    try {
      if (!table_->kept_) table_->kept_ = std::make_unique<detail::kept_texts>();
      table_->kept_->titles.emplace_front(std::move(source));
    } catch (const std::bad_alloc&) {
      return static_cast<tblx_status>(TBLX_ERR_NO_MEMORY);
    }
    auto* kept = table_->kept_->titles.front().get();
    kept->report_to(&table_->kept_->failure);
    tblx_status rc = tblx_setcolumn_titlefunc(t, &detail::title_source::call, kept);
    if (rc != TBLX_OK) table_->kept_->titles.pop_front();
    return rc;
  });
  return *this;
}

inline column& column::title_just(just j, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_titlejust(t, static_cast<unsigned>(j)); });
  return *this;
}

inline column& column::cell_just(just j, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_celljust(t, static_cast<unsigned>(j)); });
  return *this;
}

inline column& column::min_width(int width, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_minwidth(t, width); });
  return *this;
}

inline column& column::summarize(bool on, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_summarize(t, on); });
  return *this;
}

inline column& column::hex_case(tabulix::hex_case c, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_hexcase(t, static_cast<unsigned>(c)); });
  return *this;
}

inline column& column::leading_zeros(bool on, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) { return tblx_setcolumn_leadingzero(t, on); });
  return *this;
}

inline column& column::sort_by_length(bool on, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) {
    return tblx_setcolumn_sortmode(t, on ? TBLX_SORTMODE_BY_LENGTH : 0);
  });
  return *this;
}

inline column& column::justify_char(char c, std::error_code& ec) noexcept {
  apply(ec, [&](tblx_table* t) {
    return tblx_setcolumn_justchar(t, static_cast<int>(static_cast<unsigned char>(c)));
  });
  return *this;
}

// ---- printing to a string ------------------------------------------------------------

#ifdef TABULIX_HAVE_OPEN_MEMSTREAM
inline detail::print_outcome table::print_into(section s, std::string& out) const noexcept {
  detail::print_outcome outcome;
  if (!valid(outcome.code)) return outcome;
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (stream == nullptr) return {make_error_code(errc::no_memory), nullptr};
  outcome = print_to(stream, s);
  // The library ignores stream errors; for a memory stream they mean no memory.
  bool lost = std::ferror(stream) != 0;
  if (std::fclose(stream) != 0) lost = true;
  if (!outcome.code && !outcome.failure) {
    if (lost) {
      outcome.code = make_error_code(errc::no_memory);
    } else if (size > 0) {
      try {
        out.assign(buffer, size);
      } catch (const std::bad_alloc&) {
        outcome.code = make_error_code(errc::no_memory);
      }
    }
  }
  std::free(buffer);
  return outcome;
}
#endif  // TABULIX_HAVE_OPEN_MEMSTREAM

}  // namespace tabulix

#endif  // TABULIX_HPP
