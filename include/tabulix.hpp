// SPDX-License-Identifier: MIT
// libtabulix for C++17 and later: a header-only layer over the C interface of
// tabulix.h.
//
//   tabulix::table t{{tabulix::type::string, "Item"},
//                    tabulix::column_spec(tabulix::type::uint64, "Qty").summarize()};
//   t.add_row("pen", 10);   // the first row ends the header
//   std::cout << t;
//
// The table owns its tblx_table* and every text and callable that it hands to
// the library (titles, suffixes, title callbacks), so nothing needs to outlive
// a call in the caller's code. Every member that can fail has a noexcept form
// taking a trailing std::error_code&. Built with exceptions, each also has a
// form that throws std::system_error carrying a tabulix::errc and the
// library's own message instead; without exceptions (no __cpp_exceptions)
// only the error_code forms exist. Translation units built with and without
// exceptions may share tables: no class changes its layout with the setting.
//
// A table is move-only. A moved-from table holds nothing: destroying or
// assigning to it is fine, and every other use reports errc::invalid_argument.
// Column handles follow their table when it moves, but must not outlive it.
// A table is used by one thread at a time, printing included: a print
// measures the table and may reallocate its buffers, so print() and
// to_string() are not const.
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

#if defined(_MSVC_LANG) ? _MSVC_LANG < 201703L : __cplusplus < 201703L
#error "tabulix.hpp needs C++17 or later (for example -std=c++17)"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <forward_list>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "tabulix.h"

// 1 when the throwing forms exist: exceptions are on.
#ifndef TABULIX_EXCEPTIONS
#if defined(__cpp_exceptions) || (defined(_MSC_VER) && defined(_CPPUNWIND))
#define TABULIX_EXCEPTIONS 1
#else
#define TABULIX_EXCEPTIONS 0
#endif
#endif

// Before 0.7, table::to_string and operator<< printed into a memory stream
// and existed only where this macro was set; they print through a writer
// function now, on every platform. The macro stays for programs that test it.
#if !defined(TABULIX_HAVE_OPEN_MEMSTREAM) && (defined(__unix__) || defined(__APPLE__))
#define TABULIX_HAVE_OPEN_MEMSTREAM 1
#endif

// The error category must be one object in the whole process, even when this
// header is compiled into shared libraries built with hidden visibility.
#if defined(__GNUC__) && !defined(_WIN32) && !defined(__CYGWIN__)
#define TABULIX_VISIBLE_ __attribute__((visibility("default")))
#else
#define TABULIX_VISIBLE_
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
  output_error = TBLX_ERR_OUTPUT,  // the stream reported an error: nothing or part written
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
      case TBLX_ERR_OUTPUT:
        return std::errc::io_error;
      default:
        return {code, *this};
    }
  }
};

}  // namespace detail

TABULIX_VISIBLE_ inline const std::error_category& category() noexcept {
  static const detail::error_category instance;
  return instance;
}

inline std::error_code make_error_code(errc e) noexcept {
  return {static_cast<int>(e), category()};
}

}  // namespace tabulix

namespace std {
template <>
struct is_error_code_enum<tabulix::errc> : true_type {};
}  // namespace std

namespace tabulix {

// ---- constants ------------------------------------------------------------------

enum class type : unsigned {
  string = TBLX_TYPE_STRING,
  int64 = TBLX_TYPE_INT,
  uint64 = TBLX_TYPE_UINT,
  hex = TBLX_TYPE_HEX,
  float64 = TBLX_TYPE_DOUBLE,
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

// What a text wider than its column's max_width does (added in 0.7).
enum class overflow : int {
  cut = TBLX_OVERFLOW_CUT,
  wrap = TBLX_OVERFLOW_WRAP,  // with set_multiline(true); else cut
};

enum class style : int {
  simple = TBLX_STYLE_SIMPLE,
  raw = TBLX_STYLE_RAW,
  fancy = TBLX_STYLE_FANCY,
  fancyw = TBLX_STYLE_FANCYW,
};

// Output formats (table::set_format); added in 0.7.
enum class format : int {
  text = TBLX_FORMAT_TEXT,
  markdown = TBLX_FORMAT_MARKDOWN,
  csv = TBLX_FORMAT_CSV,
  tsv = TBLX_FORMAT_TSV,
  json = TBLX_FORMAT_JSON,
  jsonl = TBLX_FORMAT_JSONL,
  html = TBLX_FORMAT_HTML,
};

enum class order : int {
  unord = TBLX_SORT_UNORD,
  asc = TBLX_SORT_ASC,
  desc = TBLX_SORT_DESC,
};

// What the widths of a table count: bytes (the default) or the columns a
// terminal shows for UTF-8 text, so that accented, CJK and emoji texts line up.
enum class width : std::int32_t {
  bytes = TBLX_WIDTH_BYTES,
  display = TBLX_WIDTH_DISPLAY,
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

// A value for a hex column only; plain integers go to any number column.
struct hex {
  std::uint64_t value;
};

// An empty cell, in a column of any type: add_row("disk", tabulix::empty, 3).
// An empty std::optional (std::nullopt) gives one as well.
struct empty_t {
  explicit constexpr empty_t(int /*unused*/) noexcept {}
};
inline constexpr empty_t empty{0};

// ---- free functions ---------------------------------------------------------------

inline std::string_view version() noexcept { return tblx_version_str(); }
inline std::uint32_t version_number() noexcept { return tblx_version_uint(); }

namespace detail {

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

#if TABULIX_EXCEPTIONS
// The throwing forms: run the error_code form, throw what it reported.
template <class F>
decltype(auto) or_throw(F&& f) {
  std::error_code ec;
  if constexpr (std::is_void_v<decltype(f(ec))>) {
    f(ec);
    if (ec) throw std::system_error(ec);
  } else {
    decltype(auto) result = f(ec);
    if (ec) throw std::system_error(ec);
    return result;
  }
}
#endif

// Runs f, which may allocate; false when memory ran out (without exceptions,
// running out of memory ends the program before that).
template <class F>
bool allocates(F&& f) noexcept {
#if TABULIX_EXCEPTIONS
  try {
    f();
  } catch (const std::bad_alloc&) {
    return false;
  }
#else
  f();
#endif
  return true;
}

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

// The first exception a title callable threw in a print, with the error code
// that the error_code forms report for it (classified where it was caught).
struct callable_failure {
  std::exception_ptr exception;
  std::error_code code;
};

#if TABULIX_EXCEPTIONS
// What the error_code forms report for the exception being handled.
inline std::error_code code_of_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return make_error_code(errc::no_memory);
  } catch (const std::system_error& e) {
    return e.code();
  } catch (...) {
    return std::make_error_code(std::errc::operation_canceled);
  }
}
#endif

// Type-erased title callback with the buffer its last result lives in; the
// library uses a title before it asks for the next one, so one buffer does.
//
// A program may mix translation units built with and without exceptions that
// share tables, so no class here changes its layout with the setting, and the
// callback itself is the same code in both: the callable's own holder, built
// where the callable was given, catches what it throws.
class title_source {
 public:
  title_source() = default;
  // Held by pointer only: a copy would slice the callable off.
  title_source(const title_source&) = delete;
  title_source& operator=(const title_source&) = delete;
  title_source(title_source&&) = delete;
  title_source& operator=(title_source&&) = delete;
  virtual ~title_source() = default;

  // Library callback: never lets an exception into C (make() does not).
  static const char* TBLX_CALL call(void* self, std::uint32_t width) noexcept {
    return static_cast<title_source*>(self)->make(static_cast<unsigned>(width));
  }

  // Where make() keeps an exception; the table reads it after each print.
  void report_to(callable_failure* slot) noexcept { failure_ = slot; }

 protected:
  // The title for a column width. An exception from the callable gives ""
  // and is kept as the first failure of the print, if it is the first.
  virtual const char* make(unsigned width) noexcept = 0;

#if TABULIX_EXCEPTIONS
  const char* failed() noexcept {
    if (failure_ != nullptr && !failure_->exception) {
      failure_->exception = std::current_exception();
      failure_->code = code_of_current_exception();
    }
    return "";
  }
#endif

 private:
  callable_failure* failure_ = nullptr;
};

// A title callable: f(unsigned width) gives a C string, or a text that
// converts to std::string_view or std::string. Other results, such as a
// number, are refused: std::string would take a number as one character.
template <class R>
inline constexpr bool is_title =
    std::is_convertible_v<R, const char*> || std::is_convertible_v<R, std::string_view> ||
    std::is_convertible_v<R, std::string>;

template <class F, class = void>
struct is_title_callable : std::false_type {};
template <class F>
struct is_title_callable<F, std::enable_if_t<std::is_invocable_v<F&, unsigned>>>
    : std::bool_constant<is_title<std::invoke_result_t<F&, unsigned>>> {};

template <class F>
class title_holder final : public title_source {
 public:
  explicit title_holder(const F& f) : f_(f) {}
  explicit title_holder(F&& f) : f_(std::move(f)) {}

 private:
  const char* make(unsigned width) noexcept override {
#if TABULIX_EXCEPTIONS
    try {
      return title(width);
    } catch (...) {
      return failed();
    }
#else
    return title(width);
#endif
  }

  const char* title(unsigned width) {
    using result = std::invoke_result_t<F&, unsigned>;
    if constexpr (std::is_convertible_v<result, const char*>) {
      // A C string is used as it is: the callable keeps it alive; null is "".
      const char* s = f_(width);
      return s != nullptr ? s : "";
    } else if constexpr (std::is_convertible_v<result, std::string_view>) {
      text_.assign(std::string_view(f_(width)));  // a temporary result lives until here
    } else {
      text_ = std::string(f_(width));
    }
    return text_.c_str();
  }
  F f_;
  std::string text_;  // the last title made, when f gives no C string
};

// What the wrapper knows of a declared column.
struct column_info {
  std::int32_t id;
  type kind;
  bool summed;
  bool sum_text;  // the summary line shows a text in this column
};

// Everything a table keeps beside its C handle. It lives on the heap and
// never moves, so column handles and the pointers handed to the library stay
// valid however the table object is moved.
struct table_state {
  explicit table_state(tblx_table* t) noexcept : handle(t) {}
  table_state(const table_state&) = delete;
  table_state& operator=(const table_state&) = delete;
  table_state(table_state&&) = delete;
  table_state& operator=(table_state&&) = delete;
  ~table_state() { tblx_delete(handle); }

  tblx_table* handle;
  std::vector<column_info> columns;  // in declaration order
  std::int32_t open_id = 0;          // ID of the open column, 0 when none
  bool header_ended = false;
  bool row_open = false;                 // a row opened through the wrapper
  std::size_t row_cells = 0;             // cells in that row so far
  int printing = 0;                      // prints running (title callables may nest them)
  std::forward_list<std::string> texts;  // titles and suffixes the library points to
  std::forward_list<std::unique_ptr<title_source>> titles;
  callable_failure failure;  // the first exception of a title callable in this print
  std::string scratch;       // NUL-terminated copies of texts passed as views

  [[nodiscard]] bool keeps_anything() const noexcept { return !texts.empty() || !titles.empty(); }

  // Keeps a copy of text alive as long as the column can use it; gives its
  // address, or null (with ec set) when it cannot.
  const char* keep(std::string_view text, std::error_code& ec) noexcept {
    if (has_nul(text)) {
      set(ec, errc::invalid_argument);
      return nullptr;
    }
    if (!allocates([&] { texts.emplace_front(text); })) {
      set(ec, errc::no_memory);
      return nullptr;
    }
    return texts.front().c_str();
  }

  // The scratch copy of name, NUL-terminated; null when memory ran out.
  const char* terminated(std::string_view name) noexcept {
    return allocates([&] { scratch.assign(name); }) ? scratch.c_str() : nullptr;
  }
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

// What one print gave: the library's (or the output's) error, and the first
// exception a title callable threw, which is reported in its place.
struct print_outcome {
  std::error_code code;
  callable_failure failure;

  // The error_code form of the outcome.
  [[nodiscard]] std::error_code error() const noexcept {
    return failure.exception ? failure.code : code;
  }

#if TABULIX_EXCEPTIONS
  // The throwing form: the callable's own exception first.
  void raise() const {
    if (failure.exception) std::rethrow_exception(failure.exception);
    if (code) throw std::system_error(code);
  }
#endif
};

// ---- cells ----

// One value checked against its column, ready for the library.
enum class cell_kind { text, int64, uint64, hex, float64, empty };

struct cell {
  cell_kind kind = cell_kind::empty;
  const char* text = nullptr;  // null for a text still in the scratch buffer
  std::size_t offset = 0;      // where that text starts in the scratch buffer
  std::int64_t signed_value = 0;
  std::uint64_t unsigned_value = 0;
  double float_value = 0;
};

template <class T>
inline constexpr bool always_false = false;

template <class T>
inline constexpr bool is_char = std::is_same_v<T, char> || std::is_same_v<T, wchar_t> ||
#ifdef __cpp_char8_t
                                std::is_same_v<T, char8_t> ||
#endif
                                std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t>;

// Integers of any width and signedness (std::int8_t and std::uint8_t too);
// characters and bools are no numbers.
template <class T>
inline constexpr bool is_integer = std::is_integral_v<T> && !is_char<T> && !std::is_same_v<T, bool>;

template <class T>
inline constexpr bool is_text = std::is_convertible_v<const T&, std::string_view>;

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

template <class T>
constexpr bool fits_int64(T v) noexcept {
  using limits = std::numeric_limits<std::int64_t>;
  if constexpr (std::is_signed_v<T> && sizeof(T) > sizeof(std::int64_t)) {
    return v >= static_cast<T>(limits::min()) && v <= static_cast<T>(limits::max());
  } else if constexpr (!std::is_signed_v<T> && sizeof(T) >= sizeof(std::int64_t)) {
    return v <= static_cast<T>(limits::max());
  } else {
    static_cast<void>(v);
    return true;
  }
}

template <class T>
constexpr bool fits_uint64(T v) noexcept {
  if constexpr (std::is_signed_v<T>) {
    if (v < 0) return false;
  }
  if constexpr (sizeof(T) > sizeof(std::uint64_t)) {
    return v <= static_cast<T>(std::numeric_limits<std::uint64_t>::max());
  } else {
    return true;
  }
}

// Whether the integer v has a double of the same value: its magnitude
// without its trailing zero bits fits the 53 bits of a double's
// significand. Worked out in integers, since a conversion there and back
// can keep more bits where doubles are evaluated wider (x87).
template <class T>
constexpr bool exact_in_double(T v) noexcept {
  using magnitude_t = std::make_unsigned_t<T>;
  auto m = static_cast<magnitude_t>(v);
  if constexpr (std::is_signed_v<T>) {
    if (v < 0) m = static_cast<magnitude_t>(magnitude_t{0} - m);
  }
  if constexpr (sizeof(magnitude_t) * 8 <= 53) {
    return true;
  } else {
    while (m != 0 && (m & 1u) == 0) m >>= 1;
    return (m >> 53) == 0;
  }
}

// An integer becomes a cell of its column's number type when it fits there;
// in a float64 column, when a double holds it exactly.
template <class T>
errc integer_cell(T v, type column, cell& out) noexcept {
  if (column == type::float64 && exact_in_double(v)) {
    out.kind = cell_kind::float64;
    out.float_value = static_cast<double>(v);
    return errc::ok;
  }
  if (column == type::int64 && fits_int64(v)) {
    out.kind = cell_kind::int64;
    out.signed_value = static_cast<std::int64_t>(v);
    return errc::ok;
  }
  if ((column == type::uint64 || column == type::hex) && fits_uint64(v)) {
    out.kind = column == type::hex ? cell_kind::hex : cell_kind::uint64;
    out.unsigned_value = static_cast<std::uint64_t>(v);
    return errc::ok;
  }
  return errc::cell_type_mismatch;
}

// Texts that are NUL-terminated already are passed as they are; others are
// copied into the scratch buffer, whose address is known only at the end.
template <class T>
errc text_cell(const T& v, type column, std::string& scratch, cell& out) noexcept {
  if (column != type::string) return errc::cell_type_mismatch;
  out.kind = cell_kind::text;
  if constexpr (std::is_same_v<T, std::string>) {
    if (has_nul(v)) return errc::invalid_argument;
    out.text = v.c_str();
  } else if constexpr (std::is_convertible_v<const T&, const char*>) {
    out.text = v;
    if (out.text == nullptr) return errc::invalid_argument;
  } else {
    const std::string_view view = v;
    if (has_nul(view)) return errc::invalid_argument;
    out.offset = scratch.size();
    if (!allocates([&] { scratch.append(view).push_back('\0'); })) return errc::no_memory;
  }
  return errc::ok;
}

// The cell of one add_row or add_cell argument for a column of type column.
template <class T>
errc to_cell(const T& v, type column, std::string& scratch, cell& out) noexcept {
  if constexpr (is_optional<T>::value) {
    if (!v.has_value()) return errc::ok;  // an empty cell
    return to_cell(*v, column, scratch, out);
  } else if constexpr (std::is_same_v<T, std::nullopt_t> || std::is_same_v<T, empty_t>) {
    return errc::ok;  // an empty cell
  } else if constexpr (std::is_same_v<T, hex>) {
    if (column != type::hex) return errc::cell_type_mismatch;
    out.kind = cell_kind::hex;
    out.unsigned_value = v.value;
    return errc::ok;
  } else if constexpr (is_integer<T>) {
    return integer_cell(v, column, out);
  } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
    if (column != type::float64) return errc::cell_type_mismatch;
    out.kind = cell_kind::float64;
    out.float_value = static_cast<double>(v);
    return errc::ok;
  } else if constexpr (is_text<T>) {
    return text_cell(v, column, scratch, out);
  } else {
    static_assert(always_false<T>,
                  "tabulix: a cell takes a text, an integer, a float or double, "
                  "tabulix::hex{...}, tabulix::empty or a std::optional of one of them; "
                  "format other values, such as long double, into a text first");
    return errc::invalid_argument;
  }
}

// The column type a value goes to by itself, where its column is unknown
// (no row open through the wrapper): the library then reports what is wrong.
template <class T>
constexpr type natural_type() noexcept {
  if constexpr (is_optional<T>::value) {
    return natural_type<typename T::value_type>();
  } else if constexpr (std::is_same_v<T, hex>) {
    return type::hex;
  } else if constexpr (is_integer<T>) {
    return std::is_signed_v<T> ? type::int64 : type::uint64;
  } else if constexpr (std::is_floating_point_v<T>) {
    return type::float64;
  } else {
    return type::string;
  }
}

inline void resolve_text(cell& c, const std::string& scratch) noexcept {
  if (c.kind == cell_kind::text && c.text == nullptr) c.text = scratch.c_str() + c.offset;
}

inline tblx_status put(tblx_table* t, const cell& c) noexcept {
  switch (c.kind) {
    case cell_kind::text:
      return tblx_addcell_string(t, c.text);
    case cell_kind::int64:
      return tblx_addcell_int(t, c.signed_value);
    case cell_kind::uint64:
      return tblx_addcell_uint(t, c.unsigned_value);
    case cell_kind::hex:
      return tblx_addcell_hex(t, c.unsigned_value);
    case cell_kind::float64:
      return tblx_addcell_double(t, c.float_value);
    case cell_kind::empty:
      break;
  }
  return tblx_addcell_empty(t);
}

template <class T>
inline constexpr bool is_error_code = std::is_same_v<T, std::error_code>;

// add_row's arguments: values, then optionally a std::error_code&.
template <class... Args>
inline constexpr bool has_error_code = (is_error_code<std::remove_reference_t<Args>> || ...);

template <class... Args>
constexpr bool error_code_is_last() noexcept {
  const bool flags[] = {false, is_error_code<std::remove_reference_t<Args>>...};
  for (std::size_t i = 1; i < sizeof...(Args); ++i) {
    if (flags[i]) return false;
  }
  return true;
}

// Where to_string collects the printed bytes; lost tells that memory ran out.
struct string_sink {
  std::string& out;
  bool lost = false;
  bool operator()(const char* data, std::size_t size) noexcept {
    lost = !allocates([&] { out.append(data, size); });
    return !lost;
  }
};

// A caller's writer: called as w(data, size), it gives nothing, or a value
// that converts to bool, false refusing the bytes.
template <class W>
inline constexpr bool is_writer = std::is_invocable_v<W&, const char*, std::size_t>;

// The library's writer function over a caller's writer. An exception from the
// writer stops the print and is kept as its first failure, if it is the first.
template <class W>
struct writer_call {
  W& write;
  callable_failure* failure;

  static int TBLX_CALL call(void* self, const char* data, std::size_t size) noexcept {
    auto& c = *static_cast<writer_call*>(self);
    // A writer that cannot throw runs the same code with exceptions on or
    // off, so that translation units built both ways may share its type.
    if constexpr (std::is_nothrow_invocable_v<W&, const char*, std::size_t>) {
      return c.take(data, size) ? 0 : 1;
    } else {
      return c.guarded(data, size);
    }
  }

  int guarded(const char* data, std::size_t size) noexcept {
#if TABULIX_EXCEPTIONS
    try {
      return take(data, size) ? 0 : 1;
    } catch (...) {
      if (!failure->exception) {
        failure->exception = std::current_exception();
        failure->code = code_of_current_exception();
      }
      return 1;
    }
#else
    return take(data, size) ? 0 : 1;
#endif
  }

  bool take(const char* data,
            std::size_t size) noexcept(std::is_nothrow_invocable_v<W&, const char*, std::size_t>) {
    if constexpr (std::is_void_v<std::invoke_result_t<W&, const char*, std::size_t>>) {
      write(data, size);
      return true;
    } else {
      return static_cast<bool>(write(data, size));
    }
  }
};

struct identity {
  template <class T>
  constexpr T&& operator()(T&& v) const noexcept {
    return std::forward<T>(v);
  }
};

}  // namespace detail

// The order named "asc", "desc" or "unord"; errc::parse for any other name.
inline order parse_order(std::string_view name, std::error_code& ec) noexcept {
  int value = TBLX_SORT_UNORD;
  if (detail::has_nul(name)) {
    detail::set(ec, errc::parse);
    return order::unord;
  }
  std::string copy;
  if (!detail::allocates([&] { copy.assign(name); })) {
    detail::set(ec, errc::no_memory);
    return order::unord;
  }
  detail::fail(tblx_parse_sortorder(&value, copy.c_str()), ec);
  return static_cast<order>(value);
}

#if TABULIX_EXCEPTIONS
inline order parse_order(std::string_view name) {
  return detail::or_throw([&](std::error_code& ec) { return parse_order(name, ec); });
}
#endif

// The names set_style(std::string_view) and parse_order accept, in the
// library's order.
inline std::vector<std::string_view> style_names() {
  return detail::name_list(tblx_getstylelist());
}
inline std::vector<std::string_view> order_names() {
  return detail::name_list(tblx_getsortorderlist());
}

// ---- columns -----------------------------------------------------------------------

class table;

// A column declared in one go, for table's initializer-list constructor and
// add_columns: the type, the title, and any of the settings of a column
// handle. A setting left out keeps the library's default. A column_spec keeps its
// own copies of its title and suffix, so it may be built from temporary
// strings and used later.
//
//   tabulix::column_spec(tabulix::type::uint64, "Size").cell_just(tabulix::just::right)
class column_spec {
 public:
  // Implicit, for {type, "Title"} in a brace list.
  column_spec(type t, std::string_view title_text = {})  // NOLINT(google-explicit-*)
      : type_(t), title_(title_text) {}

  column_spec& title_just(just j) noexcept { return set(title_just_, j); }
  column_spec& cell_just(just j) noexcept { return set(cell_just_, j); }
  column_spec& min_width(int width) noexcept { return set(min_width_, width); }
  column_spec& summarize(bool on = true) noexcept { return set(summarize_, on); }
  column_spec& hex_case(tabulix::hex_case c) noexcept { return set(hex_case_, c); }
  column_spec& leading_zeros(bool on = true) noexcept { return set(leading_zeros_, on); }
  column_spec& suffix(std::string_view text) {
    suffix_.emplace(text);
    return *this;
  }
  column_spec& sort_by_length(bool on = true) noexcept { return set(sort_by_length_, on); }
  column_spec& justify_char(char c) noexcept { return set(justify_char_, c); }
  // String columns only; 0 removes the limit and keeps the overflow mode
  // for set_max_width (added in 0.7).
  column_spec& max_width(unsigned width, overflow o = overflow::cut) noexcept {
    max_width_ = width_limit{width, o};
    return *this;
  }
  // Decimals of a float64 column: 0 to 17, or -1 for the shortest text.
  column_spec& precision(int digits) noexcept { return set(precision_, digits); }
  // Separator of digit groups: ',', '.', '\'', '_' or ' '; 0 for none.
  column_spec& grouping(char separator) noexcept { return set(grouping_, separator); }

 private:
  friend class table;

  template <class T>
  column_spec& set(std::optional<T>& field, T value) noexcept {
    field = value;
    return *this;
  }

  type type_;
  std::string title_;
  std::optional<just> title_just_;
  std::optional<just> cell_just_;
  std::optional<int> min_width_;
  std::optional<bool> summarize_;
  std::optional<tabulix::hex_case> hex_case_;
  std::optional<bool> leading_zeros_;
  std::optional<std::string> suffix_;
  std::optional<bool> sort_by_length_;
  std::optional<char> justify_char_;
  struct width_limit {
    unsigned width;
    overflow how;
  };
  std::optional<width_limit> max_width_;
  std::optional<int> precision_;
  std::optional<char> grouping_;
};

// Handle on a declared column: its ID, and while it is the table's open
// column, chainable setters. Setters on a column that is no longer open
// report errc::no_open_column (errc::header_ended once the header is ended).
// A handle follows its table when the table moves, and must not outlive it.
class column {
 public:
  // A handle on no column: its setters report errc::invalid_argument.
  column() noexcept = default;

  [[nodiscard]] std::int32_t id() const noexcept { return id_; }

  column& title(std::string_view text, std::error_code& ec) noexcept {
    apply(ec, [&](detail::table_state& s) { return set_kept(s, text, &tblx_setcolumn_title, ec); });
    return *this;
  }

  // f(unsigned width) gives the title for the column's width at print time:
  // a text (anything convertible to std::string_view or std::string), or a C
  // string that f keeps alive; a callable giving anything else, such as a
  // number, is not accepted.
  // The table keeps its own copy of f. An exception from f gives an empty
  // title, and the print reports it (see the top of this file).
  template <class F, class = std::enable_if_t<detail::is_title_callable<std::decay_t<F>>::value>>
  column& title_func(F&& f, std::error_code& ec);

  column& title_just(just j, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_titlejust, static_cast<unsigned>(j));
  }
  column& cell_just(just j, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_celljust, static_cast<unsigned>(j));
  }
  column& min_width(int width, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_minwidth, width);
  }
  // String columns only: no line wider than width; longer ones are cut or
  // wrapped (added in 0.7).
  column& max_width(unsigned width, overflow o, std::error_code& ec) noexcept {
    apply(ec, [&](detail::table_state& s) {
      return tblx_setcolumn_maxwidth(s.handle, width, static_cast<int>(o));
    });
    return *this;
  }
  column& summarize(bool on, std::error_code& ec) noexcept {
    apply(ec, [&](detail::table_state& s) {
      const tblx_status rc = tblx_setcolumn_summarize(s.handle, on ? 1 : 0);
      detail::column_info& info = s.columns.back();  // the open column
      if (rc == TBLX_OK) info.summed = on && info.kind != type::string;
      return rc;
    });
    return *this;
  }
  column& hex_case(tabulix::hex_case c, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_hexcase, static_cast<unsigned>(c));
  }
  column& leading_zeros(bool on, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_leadingzero, on ? 1 : 0);
  }
  column& suffix(std::string_view text, std::error_code& ec) noexcept {
    apply(ec,
          [&](detail::table_state& s) { return set_kept(s, text, &tblx_setcolumn_suffix, ec); });
    return *this;
  }
  column& sort_by_length(bool on, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_sortmode, on ? TBLX_SORTMODE_BY_LENGTH : 0);
  }
  column& justify_char(char c, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_justchar, static_cast<int>(static_cast<unsigned char>(c)));
  }
  column& precision(int digits, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_precision, digits);
  }
  column& grouping(char separator, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_grouping, separator);
  }

#if TABULIX_EXCEPTIONS
  column& title(std::string_view text) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return title(text, ec); });
  }
  template <class F, class = std::enable_if_t<detail::is_title_callable<std::decay_t<F>>::value>>
  column& title_func(F&& f) {
    return detail::or_throw(
        [&](std::error_code& ec) -> column& { return title_func(std::forward<F>(f), ec); });
  }
  column& title_just(just j) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return title_just(j, ec); });
  }
  column& cell_just(just j) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return cell_just(j, ec); });
  }
  column& min_width(int width) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return min_width(width, ec); });
  }
  column& max_width(unsigned width, overflow o = overflow::cut) {
    return detail::or_throw(
        [&](std::error_code& ec) -> column& { return max_width(width, o, ec); });
  }
  column& summarize(bool on = true) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return summarize(on, ec); });
  }
  column& hex_case(tabulix::hex_case c) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return hex_case(c, ec); });
  }
  column& leading_zeros(bool on = true) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return leading_zeros(on, ec); });
  }
  column& suffix(std::string_view text) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return suffix(text, ec); });
  }
  column& sort_by_length(bool on = true) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return sort_by_length(on, ec); });
  }
  column& justify_char(char c) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return justify_char(c, ec); });
  }
  column& precision(int digits) {
    return detail::or_throw([&](std::error_code& ec) -> column& { return precision(digits, ec); });
  }
  column& grouping(char separator) {
    return detail::or_throw(
        [&](std::error_code& ec) -> column& { return grouping(separator, ec); });
  }
#endif

 private:
  friend class table;
  column(detail::table_state* state, std::int32_t id) noexcept : state_(state), id_(id) {}

  // Runs setter on the open column if it is this one; the C setters would
  // otherwise act on whichever column is open.
  template <class Setter>
  void apply(std::error_code& ec, Setter&& setter) noexcept {
    if (state_ == nullptr || state_->printing > 0) return detail::set(ec, errc::invalid_argument);
    if (state_->header_ended) return detail::set(ec, errc::header_ended);
    if (id_ == 0 || id_ != state_->open_id) return detail::set(ec, errc::no_open_column);
    const tblx_status rc = setter(*state_);
    if (rc != -1) detail::fail(rc, ec);
  }

  template <class Value>
  column& call(std::error_code& ec, tblx_status(TBLX_CALL* setter)(tblx_table*, Value),
               Value value) noexcept {
    apply(ec, [&](detail::table_state& s) { return setter(s.handle, value); });
    return *this;
  }

  // Sets a text the library keeps a pointer to; -1 when keep() set ec.
  static tblx_status set_kept(detail::table_state& s, std::string_view text,
                              tblx_status(TBLX_CALL* setter)(tblx_table*, const char*),
                              std::error_code& ec) noexcept {
    const char* kept = s.keep(text, ec);
    if (kept == nullptr) return -1;
    const tblx_status rc = setter(s.handle, kept);
    if (rc != TBLX_OK) s.texts.pop_front();
    return rc;
  }

  detail::table_state* state_ = nullptr;
  std::int32_t id_ = 0;
};

// ---- table -------------------------------------------------------------------------

class table {
 public:
  // A new, empty table in the simple style; errc::no_memory if that fails.
  explicit table(std::error_code& ec) noexcept { create(ec); }
  // The same, with its columns declared (see add_columns).
  table(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept {
    create(ec);
    if (!ec) add_columns(columns, ec);
  }
#if TABULIX_EXCEPTIONS
  table() {
    detail::or_throw([this](std::error_code& ec) { create(ec); });
  }
  table(std::initializer_list<column_spec> columns) {
    detail::or_throw([&](std::error_code& ec) {
      create(ec);
      if (!ec) add_columns(columns, ec);
    });
  }
#endif

  table(const table&) = delete;
  table& operator=(const table&) = delete;

  // A table being printed stays where it is: its callables are running.
  table(table&& other) noexcept {
    if (other.printing() == 0) state_ = std::move(other.state_);
  }

  table& operator=(table&& other) noexcept {
    if (this != &other && printing() == 0 && other.printing() == 0) {
      state_ = std::move(other.state_);
    }
    return *this;
  }

  ~table() = default;

  // The C handle, for calls the wrapper does not cover. Header and row calls
  // made through it bypass the wrapper's record of the columns and the open
  // row and column (add_row knows only the columns declared through the
  // wrapper), and a print made through it is not known to the wrapper: its
  // title callables must not use clean(), remove_rows(), moves or release()
  // on this table.
  [[nodiscard]] tblx_table* get() const noexcept {
    return state_ != nullptr ? state_->handle : nullptr;
  }
  explicit operator bool() const noexcept { return state_ != nullptr; }

  // Hands the C table to the caller, who frees it with tblx_delete. Only a
  // table that uses nothing the wrapper keeps can go: null, keeping the table,
  // while a title, suffix or title callable set through the wrapper is in use
  // (clean() drops them) or while the table is being printed.
  tblx_table* release() noexcept {
    if (state_ == nullptr || state_->printing > 0 || state_->keeps_anything()) return nullptr;
    tblx_table* handle = std::exchange(state_->handle, nullptr);
    state_.reset();
    return handle;
  }

  // ---- header ----

  // Declares a column, closing the open one first.
  column add_column(type t, std::error_code& ec) noexcept {
    std::int32_t id = 0;
    if (!valid(ec)) return {};
    detail::table_state& s = *state_;
    // Room for the new column's record first, so that nothing fails after
    // the library has declared it; grown geometrically, as push_back would.
    const auto grow = [&s] {
      if (s.columns.size() == s.columns.capacity()) s.columns.reserve(2 * s.columns.size() + 4);
    };
    if (!detail::allocates(grow)) {
      detail::set(ec, errc::no_memory);
      return {};
    }
    if (!close_column(ec)) return {};
    if (detail::fail(tblx_begincolumn_columnid(s.handle, static_cast<unsigned>(t), &id), ec)) {
      return {};
    }
    s.open_id = id;
    s.columns.push_back({id, t, false, false});
    return {&s, id};
  }

  // A column with its settings in one go; the first refused setting stops it,
  // and the column stays declared with the settings before that one.
  column add_column(const column_spec& decl, std::error_code& ec) noexcept {
    column c = add_column(decl.type_, ec);
    if (ec) return c;
    if (!decl.title_.empty()) c.title(decl.title_, ec);
    apply_setting(c, decl.title_just_, &column::title_just, ec);
    apply_setting(c, decl.cell_just_, &column::cell_just, ec);
    apply_setting(c, decl.min_width_, &column::min_width, ec);
    apply_setting(c, decl.summarize_, &column::summarize, ec);
    apply_setting(c, decl.hex_case_, &column::hex_case, ec);
    apply_setting(c, decl.leading_zeros_, &column::leading_zeros, ec);
    apply_setting(c, decl.suffix_, &column::suffix, ec);
    apply_setting(c, decl.sort_by_length_, &column::sort_by_length, ec);
    apply_setting(c, decl.justify_char_, &column::justify_char, ec);
    if (!ec && decl.max_width_) c.max_width(decl.max_width_->width, decl.max_width_->how, ec);
    apply_setting(c, decl.precision_, &column::precision, ec);
    apply_setting(c, decl.grouping_, &column::grouping, ec);
    return c;
  }

  // Declares the columns in order; the first refusal stops it, and the
  // columns before stay declared. The header stays open for more columns
  // until end_header or the first add_row.
  void add_columns(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    for (const column_spec& decl : columns) {
      add_column(decl, ec);
      if (ec) return;
    }
  }

  // Closes the open column, if any, and the header.
  void end_header(std::error_code& ec) noexcept {
    if (!valid(ec) || !close_column(ec)) return;
    if (!detail::fail(tblx_endheader(state_->handle), ec)) state_->header_ended = true;
  }

  // The ID of the column at a 0-based position, for sort(); 0 for none.
  [[nodiscard]] std::int32_t column_id(std::size_t position) const noexcept {
    if (state_ == nullptr || position >= state_->columns.size()) return 0;
    return state_->columns[position].id;
  }

  // ---- rows ----

  // Adds a row with one cell per value, in column order; fewer values than
  // columns give a short row. A first row ends the header. Each integer is
  // converted to its column's type when its value fits there (any width,
  // signed or unsigned) and refused with errc::cell_type_mismatch otherwise;
  // texts go to string columns, tabulix::hex{} to hex columns, an empty
  // std::optional gives an empty cell. A trailing std::error_code& selects
  // the non-throwing form.
  //
  // Every value is checked before anything is added, so a refused row leaves
  // the table as it was (the header open, too). Only running out of memory
  // in the middle of the row can leave it short; it is then ended.
  template <class... Args>
  void add_row(Args&&... args) noexcept(detail::has_error_code<Args...>) {
    static_assert(detail::error_code_is_last<Args...>(),
                  "tabulix: add_row takes its std::error_code& after the values");
    if constexpr (detail::has_error_code<Args...>) {
      std::error_code* ec = nullptr;
      static_cast<void>(((ec = error_code_of(args, ec)), ...));
      add_row_to(*ec, args...);
    } else {
#if TABULIX_EXCEPTIONS
      detail::or_throw([&](std::error_code& ec) { add_row_to(ec, args...); });
#else
      static_assert(detail::has_error_code<Args...>,
                    "tabulix: without exceptions, add_row needs a std::error_code& last");
#endif
    }
  }

  // add_row for each element of rows, with the values project(element)
  // gives as a tuple (std::tuple, std::pair, std::tie...); without project,
  // the elements are such tuples themselves. Stops at the first refused row,
  // which is not added; the rows before it stay. An exception from project
  // passes through. The range may be one that can be iterated only when not
  // const, such as a C++20 std::views::filter.
  template <class Range, class Projection>
  void add_rows(Range&& rows, Projection&& project, std::error_code& ec) {
    if (!valid(ec)) return;
    ec.clear();
    for (auto&& element : rows) {
      std::apply([&](const auto&... values) { add_row_to(ec, values...); },
                 std::invoke(project, element));
      if (ec) return;
    }
  }
  template <class Range>
  void add_rows(Range&& rows, std::error_code& ec) {
    add_rows(rows, detail::identity{}, ec);
  }

  // The row by parts: begin_row, add_cell for each value, end_row. A cell
  // goes to the next column of the open row and is converted like add_row's
  // values. These do not end the header.
  void begin_row(std::error_code& ec) noexcept {
    if (!valid(ec) || detail::fail(tblx_beginrow(state_->handle), ec)) return;
    state_->row_open = true;
    state_->row_cells = 0;
  }

  template <class T>
  void add_cell(const T& value, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    const bool known = s.row_open && s.row_cells < s.columns.size();
    const type column_type = known ? s.columns[s.row_cells].kind : detail::natural_type<T>();
    detail::cell c;
    s.scratch.clear();
    const errc e = detail::to_cell(value, column_type, s.scratch, c);
    if (e != errc::ok) return detail::set(ec, e);
    detail::resolve_text(c, s.scratch);
    if (!detail::fail(add_one(c), ec)) ++s.row_cells;
  }

  void end_row(std::error_code& ec) noexcept {
    if (!valid(ec) || detail::fail(tblx_endrow(state_->handle), ec)) return;
    state_->row_open = false;
  }

  // Ended rows; 0 for a moved-from table.
  [[nodiscard]] std::int32_t row_count() const noexcept { return tblx_getrowcount(get()); }

  // Drops every row (the open one too); keeps the header. Like clean(), it is
  // refused (errc::invalid_argument) while the table is being printed: the
  // C call would silently do nothing.
  void remove_rows(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    tblx_removerows(state_->handle);
    state_->row_open = false;
    ec.clear();
  }

  // Drops columns and rows and reopens the header; keeps style and fillers.
  void clean(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    tblx_clean(s.handle);
    s.columns.clear();
    s.texts.clear();  // no column refers to these any more
    s.titles.clear();
    s.open_id = 0;
    s.header_ended = false;
    s.row_open = false;
    ec.clear();
  }

  // ---- style ----

  void set_style(style s, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setstyle(state_->handle, static_cast<int>(s)), ec);
  }
  // By name: "simple", "raw", "fancy", "fancyw"; errc::parse for others.
  void set_style(std::string_view name, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (detail::has_nul(name)) return detail::set(ec, errc::parse);
    const char* text = state_->terminated(name);
    if (text == nullptr) return detail::set(ec, errc::no_memory);
    detail::fail(tblx_setstylestr(state_->handle, text), ec);
  }
  // Avoids the ambiguity between style and string_view for literals.
  void set_style(const char* name, std::error_code& ec) noexcept {
    if (name == nullptr) return detail::set(ec, errc::invalid_argument);
    set_style(std::string_view(name), ec);
  }

  // The output format of the prints; callable at any time but during a print.
  void set_format(format f, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setformat(state_->handle, static_cast<int>(f)), ec);
  }

  // What every width of the table counts; callable at any time.
  void set_width_mode(width w, std::error_code& ec) noexcept {
    if (valid(ec))
      detail::fail(tblx_setwidthmode(state_->handle, static_cast<std::int32_t>(w)), ec);
  }

  // Whether every title counts in its column's width, whatever its
  // justification (by default only titles aligned on a character do); callable
  // at any time.
  void set_measure_titles(bool on, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmeasuretitles(state_->handle, on ? 1 : 0), ec);
  }

  // Whether line feeds in texts start new lines inside their fields; callable
  // at any time (added in 0.7).
  void set_multiline(bool on, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmultiline(state_->handle, on ? 1 : 0), ec);
  }

  // The width the printed lines should fit, 0 for none: text columns are
  // narrowed and columns that still do not fit are left out and named;
  // callable at any time (added in 0.7).
  void set_max_width(unsigned width, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmaxwidth(state_->handle, width), ec);
  }

  // What the summary line shows for unsummed columns in the given style
  // (fancy and fancyw share one filler).
  void set_sum_filler(style s, char c, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::fail(tblx_setsumreplace(state_->handle, static_cast<unsigned>(s),
                                    static_cast<int>(static_cast<unsigned char>(c))),
                 ec);
  }

  // The text the summary line shows in a column instead of its sum or
  // filler, such as "Total"; copied. Needs the ended header.
  void set_sum_text(const column& c, std::string_view text, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (c.state_ != state_.get()) return detail::set(ec, errc::no_such_column);
    set_sum_text(c.id(), text, ec);
  }
  void set_sum_text(std::int32_t column_id, std::string_view text, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (detail::has_nul(text)) return detail::set(ec, errc::invalid_argument);
    const char* copy = state_->terminated(text);
    if (copy == nullptr) return detail::set(ec, errc::no_memory);
    change_sum_text(column_id, copy, ec);
  }
  // The column shows its sum or filler again.
  void clear_sum_text(const column& c, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (c.state_ != state_.get()) return detail::set(ec, errc::no_such_column);
    change_sum_text(c.id(), nullptr, ec);
  }
  void clear_sum_text(std::int32_t column_id, std::error_code& ec) noexcept {
    if (valid(ec)) change_sum_text(column_id, nullptr, ec);
  }

  // ---- sorting ----

  // A column of another table is no column of this one.
  void sort(const column& by, order o, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (by.state_ != state_.get()) return detail::set(ec, errc::no_such_column);
    sort(by.id(), o, ec);
  }
  void sort(std::int32_t column_id, order o, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::fail(tblx_sort(state_->handle, static_cast<int>(o), column_id), ec);
  }

  // ---- printing ----
  // A print measures the table and may grow its buffers: not const.

  // errc::output_error when the stream reports an error (a full disk, a
  // closed pipe): the table may then be written in part.
  void print(std::FILE* stream, section s, std::error_code& ec) noexcept {
    ec = print_to(stream, s).error();
  }
  void print(std::FILE* stream, std::error_code& ec) noexcept { print(stream, section::all, ec); }

  // Prints through write(const char* data, std::size_t size), called with the
  // bytes in order, a few kilobytes at a time; it gives nothing, or false to
  // refuse the bytes, which stops the print with errc::output_error. An
  // exception from it stops the print too, and is reported as a title
  // callable's is (see the top of this file).
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, section s, std::error_code& ec) noexcept {
    ec = print_through(s, write).error();
  }
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, std::error_code& ec) noexcept {
    print(std::forward<Writer>(write), section::all, ec);
  }

  // Streams the table (tblx_flushrows): writes the rows added since the last
  // flush, in the layout that the first flush measured and froze, and frees
  // them; of s only the titles, title rule (first flush) and rows count. A
  // later print() writes the summary of every row ever added. sort() is
  // refused while frozen; remove_rows() and clean() end the freeze.
  void flush_rows(std::FILE* stream, section s, std::error_code& ec) noexcept {
    ec = flush_to(stream, s).error();
  }
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void flush_rows(Writer&& write, section s, std::error_code& ec) noexcept {
    ec = flush_through(s, write).error();
  }

  // The printed table as a string; "" on failure.
  [[nodiscard]] std::string to_string(section s, std::error_code& ec) noexcept {
    std::string out;
    ec = print_into(s, detail::string_sink{out}).error();
    if (ec) out.clear();
    return out;
  }
  [[nodiscard]] std::string to_string(std::error_code& ec) noexcept {
    return to_string(section::all, ec);
  }

  // Writes the table, with its summary line only when a column is summed or
  // has a summary text; a failure sets failbit on the stream. The table is
  // made whole first: the stream's own exceptions, if it throws any, come
  // from here and not from inside the library.
  friend std::ostream& operator<<(std::ostream& os, table& t) {
    std::string text;
    if (t.print_into(t.stream_sections(), detail::string_sink{text}).error()) {
      os.setstate(std::ios_base::failbit);
    } else {
      os.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return os;
  }
  friend std::ostream& operator<<(std::ostream& os, table&& t) { return os << t; }

#if TABULIX_EXCEPTIONS
  // ---- the throwing forms ----

  column add_column(type t) {
    return detail::or_throw([&](std::error_code& ec) { return add_column(t, ec); });
  }
  column add_column(const column_spec& decl) {
    return detail::or_throw([&](std::error_code& ec) { return add_column(decl, ec); });
  }
  void add_columns(std::initializer_list<column_spec> columns) {
    detail::or_throw([&](std::error_code& ec) { add_columns(columns, ec); });
  }
  void end_header() {
    detail::or_throw([&](std::error_code& ec) { end_header(ec); });
  }
  template <class Range, class Projection,
            class = std::enable_if_t<!std::is_same_v<Projection, std::error_code&>>>
  void add_rows(Range&& rows, Projection&& project) {
    detail::or_throw(
        [&](std::error_code& ec) { add_rows(rows, std::forward<Projection>(project), ec); });
  }
  template <class Range>
  void add_rows(Range&& rows) {
    detail::or_throw([&](std::error_code& ec) { add_rows(rows, detail::identity{}, ec); });
  }
  void begin_row() {
    detail::or_throw([&](std::error_code& ec) { begin_row(ec); });
  }
  template <class T>
  void add_cell(const T& value) {
    detail::or_throw([&](std::error_code& ec) { add_cell(value, ec); });
  }
  void end_row() {
    detail::or_throw([&](std::error_code& ec) { end_row(ec); });
  }
  void remove_rows() {
    detail::or_throw([&](std::error_code& ec) { remove_rows(ec); });
  }
  void clean() {
    detail::or_throw([&](std::error_code& ec) { clean(ec); });
  }
  void set_style(style s) {
    detail::or_throw([&](std::error_code& ec) { set_style(s, ec); });
  }
  void set_style(std::string_view name) {
    detail::or_throw([&](std::error_code& ec) { set_style(name, ec); });
  }
  void set_style(const char* name) {
    detail::or_throw([&](std::error_code& ec) { set_style(name, ec); });
  }
  void set_width_mode(width w) {
    detail::or_throw([&](std::error_code& ec) { set_width_mode(w, ec); });
  }
  void set_measure_titles(bool on) {
    detail::or_throw([&](std::error_code& ec) { set_measure_titles(on, ec); });
  }
  void set_multiline(bool on) {
    detail::or_throw([&](std::error_code& ec) { set_multiline(on, ec); });
  }
  void set_max_width(unsigned width) {
    detail::or_throw([&](std::error_code& ec) { set_max_width(width, ec); });
  }
  void set_sum_filler(style s, char c) {
    detail::or_throw([&](std::error_code& ec) { set_sum_filler(s, c, ec); });
  }
  void set_sum_text(const column& c, std::string_view text) {
    detail::or_throw([&](std::error_code& ec) { set_sum_text(c, text, ec); });
  }
  void set_sum_text(std::int32_t column_id, std::string_view text) {
    detail::or_throw([&](std::error_code& ec) { set_sum_text(column_id, text, ec); });
  }
  void clear_sum_text(const column& c) {
    detail::or_throw([&](std::error_code& ec) { clear_sum_text(c, ec); });
  }
  void clear_sum_text(std::int32_t column_id) {
    detail::or_throw([&](std::error_code& ec) { clear_sum_text(column_id, ec); });
  }
  void sort(const column& by, order o) {
    detail::or_throw([&](std::error_code& ec) { sort(by, o, ec); });
  }
  void sort(std::int32_t column_id, order o) {
    detail::or_throw([&](std::error_code& ec) { sort(column_id, o, ec); });
  }
  // A title callable's exception is rethrown as it was.
  void print(std::FILE* stream, section s = section::all) { print_to(stream, s).raise(); }
  void flush_rows(std::FILE* stream, section s = section::all) { flush_to(stream, s).raise(); }
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void flush_rows(Writer&& write, section s = section::all) {
    flush_through(s, write).raise();
  }
  // A writer's exception, too.
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, section s = section::all) {
    print_through(s, write).raise();
  }
  [[nodiscard]] std::string to_string(section s = section::all) {
    std::string out;
    print_into(s, detail::string_sink{out}).raise();
    return out;
  }
  void set_format(format f) {
    detail::or_throw([&](std::error_code& ec) { set_format(f, ec); });
  }
#endif

 private:
  friend class column;

  // The state comes from plain new where exceptions report its failure: a
  // program that replaces operator new need not replace the nothrow form too.
  void create(std::error_code& ec) noexcept {
    tblx_table* handle = tblx_new();
    if (handle == nullptr) return detail::set(ec, errc::no_memory);
#if TABULIX_EXCEPTIONS
    detail::allocates([&] { state_ = std::make_unique<detail::table_state>(handle); });
#else
    state_.reset(new (std::nothrow) detail::table_state(handle));
#endif
    if (state_ == nullptr) {
      tblx_delete(handle);
      return detail::set(ec, errc::no_memory);
    }
    ec.clear();
  }

  [[nodiscard]] int printing() const noexcept { return state_ != nullptr ? state_->printing : 0; }

  // A table that holds a C table and is not being printed; the C calls that
  // make no null test of their own, and the members that free what the table
  // keeps, need one.
  bool valid(std::error_code& ec) const noexcept {
    if (state_ != nullptr && state_->handle != nullptr && state_->printing == 0) return true;
    detail::set(ec, errc::invalid_argument);
    return false;
  }

  bool close_column(std::error_code& ec) noexcept {
    if (state_->open_id == 0) return true;
    if (detail::fail(tblx_endcolumn(state_->handle), ec)) return false;
    state_->open_id = 0;
    return true;
  }

  template <class T, class Value>
  static void apply_setting(column& c, const std::optional<T>& setting,
                            column& (column::*setter)(Value, std::error_code&) noexcept,
                            std::error_code& ec) noexcept {
    if (!ec && setting.has_value()) (c.*setter)(*setting, ec);
  }

  static std::error_code* error_code_of(std::error_code& ec, std::error_code* /*found*/) noexcept {
    return &ec;
  }
  template <class T>
  static std::error_code* error_code_of(const T& /*value*/, std::error_code* found) noexcept {
    return found;
  }

  // The cell of one add_row argument, in the next column; the error code
  // argument is none.
  template <class T>
  errc convert(const T& value, detail::cell* cells, std::size_t& n) noexcept {
    const errc e = detail::to_cell(value, state_->columns[n].kind, state_->scratch, cells[n]);
    ++n;
    return e;
  }
  static errc convert(const std::error_code& /*ec*/, detail::cell* /*cells*/,
                      std::size_t& /*n*/) noexcept {
    return errc::ok;
  }

  template <class... Values>
  void add_row_to(std::error_code& ec, const Values&... values) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    constexpr std::size_t count = (std::size_t{0} + ... + (detail::is_error_code<Values> ? 0 : 1));
    if (count > s.columns.size()) return detail::set(ec, errc::no_more_columns);
    detail::cell cells[count + 1];
    std::size_t n = 0;
    errc e = errc::ok;
    s.scratch.clear();
    static_cast<void>((((e = convert(values, cells, n)) == errc::ok) && ...));
    static_cast<void>(n);  // unused in an empty row
    if (e != errc::ok) return detail::set(ec, e);
    for (std::size_t i = 0; i < count; ++i) detail::resolve_text(cells[i], s.scratch);
    if (!s.header_ended) {
      end_header(ec);
      if (ec) return;
    }
    begin_row(ec);
    if (ec) return;
    tblx_status rc = TBLX_OK;
    for (std::size_t i = 0; i < count && rc == TBLX_OK; ++i) rc = add_one(cells[i]);
    end_row(ec);
    if (rc != TBLX_OK) detail::fail(rc, ec);
  }

  tblx_status add_one(const detail::cell& c) noexcept { return detail::put(state_->handle, c); }

  void change_sum_text(std::int32_t column_id, const char* text, std::error_code& ec) noexcept {
    if (detail::fail(tblx_setsumtext(state_->handle, column_id, text), ec)) return;
    for (detail::column_info& c : state_->columns) {
      if (c.id == column_id) c.sum_text = text != nullptr;
    }
  }

  // Which sections operator<< prints: the summary line only when it shows
  // something.
  [[nodiscard]] section stream_sections() const noexcept {
    if (state_ == nullptr) return section::all;
    for (const detail::column_info& c : state_->columns) {
      if (c.summed || c.sum_text) return section::all;
    }
    return ~(section::sum_rule | section::sum);
  }

  // One print; a nested one (from a title callable) is refused before it
  // could take the outer print's exception.
  detail::print_outcome print_to(std::FILE* stream, section s) noexcept {
    detail::print_outcome outcome;
    if (!valid(outcome.code)) return outcome;
    // A print made through get() may have left a failure nobody took.
    state_->failure = {};
    const detail::print_guard guard(&state_->printing);
    detail::fail(tblx_print(state_->handle, static_cast<unsigned>(s), stream), outcome.code);
    outcome.failure = std::move(state_->failure);
    state_->failure = {};
    return outcome;
  }

  // One print through a writer.
  template <class Writer>
  detail::print_outcome print_through(section s, Writer& write) noexcept {
    detail::print_outcome outcome;
    if (!valid(outcome.code)) return outcome;
    state_->failure = {};
    const detail::print_guard guard(&state_->printing);
    detail::writer_call<Writer> call{write, &state_->failure};
    detail::fail(tblx_print_to(state_->handle, static_cast<unsigned>(s),
                               &detail::writer_call<Writer>::call, &call),
                 outcome.code);
    outcome.failure = std::move(state_->failure);
    state_->failure = {};
    return outcome;
  }

  // One flush to a stream, or through a writer, as the prints above.
  detail::print_outcome flush_to(std::FILE* stream, section s) noexcept {
    detail::print_outcome outcome;
    if (!valid(outcome.code)) return outcome;
    state_->failure = {};
    const detail::print_guard guard(&state_->printing);
    detail::fail(tblx_flushrows(state_->handle, static_cast<unsigned>(s), stream), outcome.code);
    outcome.failure = std::move(state_->failure);
    state_->failure = {};
    return outcome;
  }
  template <class Writer>
  detail::print_outcome flush_through(section s, Writer& write) noexcept {
    detail::print_outcome outcome;
    if (!valid(outcome.code)) return outcome;
    state_->failure = {};
    const detail::print_guard guard(&state_->printing);
    detail::writer_call<Writer> call{write, &state_->failure};
    detail::fail(tblx_flushrows_to(state_->handle, static_cast<unsigned>(s),
                                   &detail::writer_call<Writer>::call, &call),
                 outcome.code);
    outcome.failure = std::move(state_->failure);
    state_->failure = {};
    return outcome;
  }

  // Prints into a string: errc::no_memory when the string could not grow.
  detail::print_outcome print_into(section s, detail::string_sink&& sink) noexcept {
    detail::print_outcome outcome = print_through(s, sink);
    if (sink.lost) outcome.code = make_error_code(errc::no_memory);
    return outcome;
  }

  std::unique_ptr<detail::table_state> state_;
};

template <class F, class>
column& column::title_func(F&& f, std::error_code& ec) {
  // The copy of f is made first: only its own constructor may throw here.
  std::unique_ptr<detail::title_source> source;
  if (!detail::allocates([&] {
        source = std::make_unique<detail::title_holder<std::decay_t<F>>>(std::forward<F>(f));
      })) {
    detail::set(ec, errc::no_memory);
    return *this;
  }
  apply(ec, [&](detail::table_state& s) noexcept {
    if (!detail::allocates([&] { s.titles.emplace_front(std::move(source)); })) {
      return static_cast<tblx_status>(TBLX_ERR_NO_MEMORY);
    }
    detail::title_source* kept = s.titles.front().get();
    kept->report_to(&s.failure);
    const tblx_status rc = tblx_setcolumn_titlefunc(s.handle, &detail::title_source::call, kept);
    if (rc != TBLX_OK) s.titles.pop_front();
    return rc;
  });
  return *this;
}

}  // namespace tabulix

#endif  // TABULIX_HPP
