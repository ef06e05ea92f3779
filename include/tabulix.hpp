// SPDX-License-Identifier: MIT
/// @file tabulix.hpp
/// @brief libtabulix for C++17 and later: a header-only layer over tabulix.h.
///
///     tabulix::table t{{tabulix::type::string, "Item"},
///                      tabulix::column_spec(tabulix::type::uint64, "Qty").summarize()};
///     t.add_row("pen", 10);   // the first row ends the header
///     std::cout << t;
///
/// Defaults: a tabulix::table differs from a C table in three ways, each of
/// which a setting undoes, and table::c_defaults() gives a table with the C
/// library's defaults, whose prints are byte for byte those of the C calls:
/// - every title sizes its column (table::set_measure_titles(true));
/// - number columns (int64, uint64, hex, float64) are right-justified, title
///   and cells, unless a justification is given;
/// - every print (print(), to_string(), operator<<) leaves the summary line
///   and its rule out unless a column is summed or has a summary text.
///
/// Errors: every member that can fail has a noexcept form taking a trailing
/// std::error_code&. Built with exceptions, each also has a form without it
/// that throws std::system_error carrying a tabulix::errc and the library's
/// message; without exceptions only the error_code forms exist. Translation
/// units built with and without exceptions may share tables: no class
/// changes its layout with the setting.
///
/// Ownership: the table owns its tblx_table* and every text and callable it
/// hands to the library, so nothing needs to outlive a call. A table is
/// move-only; a moved-from table reports errc::invalid_argument. Column
/// handles follow their table when it moves, but must not outlive it. A table
/// is used by one thread at a time; a print measures it, so prints are not
/// const.
///
/// Title callables run in the middle of a print of their table. Meanwhile
/// the table refuses every call that would change it, print it or free what
/// it keeps (errc::invalid_argument), clean() and remove_rows() included;
/// moving it gives an empty table and release() null. An exception from a
/// callable (or a writer) gives an empty title (stops the print), and the
/// print reports the first one: the throwing forms rethrow it as it was, the
/// error_code forms give errc::no_memory for std::bad_alloc, the code of a
/// std::system_error, and std::errc::operation_canceled for anything else.
#ifndef TABULIX_HPP
#define TABULIX_HPP

#if defined(_MSVC_LANG) ? _MSVC_LANG < 201703L : __cplusplus < 201703L
#error "tabulix.hpp needs C++17 or later (for example -std=c++17)"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

/// 1 when the throwing forms exist: exceptions are on.
#ifndef TABULIX_EXCEPTIONS
#if defined(__cpp_exceptions) || (defined(_MSC_VER) && defined(_CPPUNWIND))
#define TABULIX_EXCEPTIONS 1
#else
#define TABULIX_EXCEPTIONS 0
#endif
#endif

// The error category must be one object in the whole process, even when this
// header is compiled into shared libraries built with hidden visibility.
#if defined(__GNUC__) && !defined(_WIN32) && !defined(__CYGWIN__)
#define TABULIX_VISIBLE_ __attribute__((visibility("default")))
#else
#define TABULIX_VISIBLE_
#endif

// The throwing form of a member, made from its error_code form: the
// signature in parentheses, then the call with `ec` as its error code.
#define TABULIX_STRIP_(...) __VA_ARGS__
#if TABULIX_EXCEPTIONS
#define TABULIX_OR_THROW_(signature, ...)                                                 \
  TABULIX_STRIP_ signature {                                                              \
    return ::tabulix::detail::or_throw(                                                   \
        [&](std::error_code& ec) -> decltype(auto) { return __VA_ARGS__; }); /* NOLINT */ \
  }
#else
#define TABULIX_OR_THROW_(signature, ...)
#endif

/// The C++ layer of libtabulix.
namespace tabulix {

/// The library's status codes (tblx_strerror() gives their messages).
enum class errc : int {
  ok = TBLX_OK,                                            ///< Success.
  invalid_argument = TBLX_ERR_INVALID_ARGUMENT,            ///< Invalid argument, or busy.
  no_memory = TBLX_ERR_NO_MEMORY,                          ///< Out of memory.
  parse = TBLX_ERR_PARSE,                                  ///< An unknown name.
  invalid_style = TBLX_ERR_INVALID_STYLE,                  ///< Invalid style.
  invalid_column_type = TBLX_ERR_INVALID_COLUMN_TYPE,      ///< Invalid column type.
  invalid_casing = TBLX_ERR_INVALID_CASING,                ///< Invalid letter casing.
  invalid_justification = TBLX_ERR_INVALID_JUSTIFICATION,  ///< Invalid justification.
  cell_type_mismatch = TBLX_ERR_CELL_TYPE_MISMATCH,        ///< A value its column refuses.
  no_header = TBLX_ERR_NO_HEADER,                          ///< The header is still open.
  header_ended = TBLX_ERR_HEADER_ENDED,                    ///< The header is ended.
  no_open_column = TBLX_ERR_NO_OPEN_COLUMN,                ///< No column is open.
  column_open = TBLX_ERR_COLUMN_OPEN,                      ///< A column is still open.
  no_more_columns = TBLX_ERR_NO_MORE_COLUMNS,              ///< More values than columns.
  no_open_row = TBLX_ERR_NO_OPEN_ROW,                      ///< No row is open.
  row_open = TBLX_ERR_ROW_OPEN,                            ///< A row is still open.
  no_such_column = TBLX_ERR_NO_SUCH_COLUMN,                ///< No such column.
  not_comparable = TBLX_ERR_NOT_COMPARABLE,                ///< Cells not comparable.
  invalid_sort_order = TBLX_ERR_INVALID_SORT_ORDER,        ///< Invalid sort order.
  output_error = TBLX_ERR_OUTPUT,                          ///< The stream or writer failed.
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

/// The category of tabulix::errc: "tabulix", one object in the process.
TABULIX_VISIBLE_ inline const std::error_category& category() noexcept {
  static const detail::error_category instance;
  return instance;
}

/// Makes errc values usable as std::error_code.
inline std::error_code make_error_code(errc e) noexcept {
  return {static_cast<int>(e), category()};
}

}  // namespace tabulix

/// @cond
namespace std {
template <>
struct is_error_code_enum<tabulix::errc> : true_type {};
}  // namespace std
/// @endcond

namespace tabulix {

/// Column types.
enum class type : unsigned {
  string = TBLX_TYPE_STRING,   ///< Texts.
  int64 = TBLX_TYPE_INT,       ///< Signed 64-bit integers.
  uint64 = TBLX_TYPE_UINT,     ///< Unsigned 64-bit integers.
  hex = TBLX_TYPE_HEX,         ///< Unsigned 64-bit integers shown in hexadecimal.
  float64 = TBLX_TYPE_DOUBLE,  ///< Doubles.
};

/// Justifications of titles, cells and sums.
enum class just : unsigned {
  left = TBLX_JUST_LEFT,              ///< Left.
  right = TBLX_JUST_RIGHT,            ///< Right.
  center = TBLX_JUST_CENTER,          ///< Centred.
  char_first = TBLX_JUST_CHAR_FIRST,  ///< The first justify character lines up.
  char_last = TBLX_JUST_CHAR_LAST,    ///< The last justify character lines up.
};

/// Letter case of hexadecimal digits.
enum class hex_case : unsigned {
  lower = TBLX_HEX_LOWER,  ///< a to f.
  upper = TBLX_HEX_UPPER,  ///< A to F.
};

/// What a text wider than its column's max_width does.
enum class overflow : int {
  cut = TBLX_OVERFLOW_CUT,    ///< Cut, ending with a mark.
  wrap = TBLX_OVERFLOW_WRAP,  ///< Goes on over more lines (with set_multiline(true)).
};

/// Output styles of the text format.
enum class style : int {
  simple = TBLX_STYLE_SIMPLE,  ///< Padded fields separated by one space.
  raw = TBLX_STYLE_RAW,        ///< Fields separated by one space, not padded.
  fancy = TBLX_STYLE_FANCY,    ///< "|" between fields, rules of "-" and "+".
  fancyw = TBLX_STYLE_FANCYW,  ///< " | " between fields, rules of "-" and "-+-".
};

/// Output formats (table::set_format).
enum class format : int {
  text = TBLX_FORMAT_TEXT,          ///< Aligned text in the table's style.
  markdown = TBLX_FORMAT_MARKDOWN,  ///< A GitHub Markdown table.
  csv = TBLX_FORMAT_CSV,            ///< Comma-separated values, CR LF line ends.
  tsv = TBLX_FORMAT_TSV,            ///< Tab-separated values.
  json = TBLX_FORMAT_JSON,          ///< A JSON array of one object per row.
  jsonl = TBLX_FORMAT_JSONL,        ///< One JSON object per row and line.
  html = TBLX_FORMAT_HTML,          ///< One HTML table.
};

/// Sort orders.
enum class order : int {
  unord = TBLX_SORT_UNORD,  ///< The order stays.
  asc = TBLX_SORT_ASC,      ///< Ascending; rows without the key cell first.
  desc = TBLX_SORT_DESC,    ///< Descending; rows without the key cell last.
};

/// What the widths of a table count.
enum class width : std::int32_t {
  bytes = TBLX_WIDTH_BYTES,      ///< Bytes.
  display = TBLX_WIDTH_DISPLAY,  ///< Terminal columns of UTF-8 text.
};

/// Print sections; combine with |, & and ~ (the other sections).
enum class section : unsigned {
  titles = TBLX_PRINT_TITLES,          ///< The title line.
  title_rule = TBLX_PRINT_TITLE_RULE,  ///< The rule under the titles (fancy styles).
  rows = TBLX_PRINT_ROWS,              ///< The rows.
  sum_rule = TBLX_PRINT_SUM_RULE,      ///< The rule above the summary line (fancy styles).
  sum = TBLX_PRINT_SUM,                ///< The summary line.
  all = TBLX_PRINT_ALL,                ///< Every section.
};

/// Both sets of sections.
constexpr section operator|(section a, section b) noexcept {
  return static_cast<section>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
/// The sections in both sets.
constexpr section operator&(section a, section b) noexcept {
  return static_cast<section>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
/// The other sections.
constexpr section operator~(section a) noexcept {
  return static_cast<section>(~static_cast<unsigned>(a) & static_cast<unsigned>(section::all));
}
/// Adds the sections of b.
constexpr section& operator|=(section& a, section b) noexcept { return a = a | b; }
/// Keeps the sections also in b.
constexpr section& operator&=(section& a, section b) noexcept { return a = a & b; }

/// A value for a hex column only; plain integers go to any number column.
struct hex {
  std::uint64_t value;  ///< The number.
};

/// The type of tabulix::empty.
struct empty_t {
  /// Not for users: use tabulix::empty.
  explicit constexpr empty_t(int /*unused*/) noexcept {}
};
/// An empty cell in a column of any type: add_row("disk", tabulix::empty, 3).
/// An empty std::optional (std::nullopt) gives one as well.
inline constexpr empty_t empty{0};

/// The library's version as text ("0.7.0").
inline std::string_view version() noexcept { return tblx_version_str(); }
/// The library's version as major << 24 | minor << 16 | patch << 8.
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

// The first exception a title callable or writer threw in a print, with the
// error code that the error_code forms report for it.
struct callable_failure {
  std::exception_ptr exception;
  std::error_code code;

#if TABULIX_EXCEPTIONS
  // Keeps the exception being handled, if it is the first.
  void keep_current() noexcept {
    if (exception) return;
    exception = std::current_exception();
    try {
      throw;
    } catch (const std::bad_alloc&) {
      code = make_error_code(errc::no_memory);
    } catch (const std::system_error& e) {
      code = e.code();
    } catch (...) {
      code = std::make_error_code(std::errc::operation_canceled);
    }
  }
#endif
};

// Type-erased title callback with the buffer its last result lives in; the
// library uses a title before it asks for the next one. The holder of each
// callable is built where the callable was given, and catches what it throws
// there, so translation units with and without exceptions may share tables.
class title_source {
 public:
  title_source() = default;
  title_source(const title_source&) = delete;
  title_source& operator=(const title_source&) = delete;
  title_source(title_source&&) = delete;
  title_source& operator=(title_source&&) = delete;
  virtual ~title_source() = default;

  static const char* TBLX_CALL call(void* self, std::uint32_t width) noexcept {
    return static_cast<title_source*>(self)->make(static_cast<unsigned>(width));
  }
  callable_failure* failure = nullptr;  // where make() keeps an exception

 protected:
  virtual const char* make(unsigned width) noexcept = 0;
};

// A title callable: f(unsigned width) gives a C string, or a text that
// converts to std::string_view or std::string (not a number, which
// std::string would take as one character).
template <class F, class = void>
struct is_title_callable : std::false_type {};
template <class F>
struct is_title_callable<F, std::enable_if_t<std::is_invocable_v<F&, unsigned>>> {
  using result = std::invoke_result_t<F&, unsigned>;
  static constexpr bool value = std::is_convertible_v<result, const char*> ||
                                std::is_convertible_v<result, std::string_view> ||
                                std::is_convertible_v<result, std::string>;
};

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
      if (failure != nullptr) failure->keep_current();
      return "";
    }
#else
    return title(width);
#endif
  }

  const char* title(unsigned width) {
    using result = std::invoke_result_t<F&, unsigned>;
    if constexpr (std::is_convertible_v<result, const char*>) {
      const char* s = f_(width);  // the callable keeps it alive; null is ""
      return s != nullptr ? s : "";
    } else if constexpr (std::is_convertible_v<result, std::string_view>) {
      text_.assign(std::string_view(f_(width)));  // a temporary result lives until here
    } else {
      text_ = std::string(f_(width));
    }
    return text_.c_str();
  }
  F f_;
  std::string text_;
};

// Everything a table keeps beside its C handle. It lives on the heap and
// never moves, so column handles and the pointers handed to the library stay
// valid however the table object is moved. The library knows the rest.
struct table_state {
  explicit table_state(tblx_table* t) noexcept : handle(t) {}
  table_state(const table_state&) = delete;
  table_state& operator=(const table_state&) = delete;
  table_state(table_state&&) = delete;
  table_state& operator=(table_state&&) = delete;
  ~table_state() { tblx_delete(handle); }

  tblx_table* handle;
  // Column types in order: add_row converts each value to its column's type
  // without a walk of the library's column list per value.
  std::vector<type> kinds;
  std::int32_t open_id = 0;  // ID of the open column, 0 when none
  bool header_ended = false;
  bool c_defaults = false;               // the C library's defaults (table::c_defaults)
  std::size_t row_cells = 0;             // cells of the row open through begin_row, or SIZE_MAX
  int printing = 0;                      // prints running (title callables may nest them)
  std::forward_list<std::string> texts;  // titles and suffixes the library points to
  std::forward_list<std::unique_ptr<title_source>> titles;
  callable_failure failure;  // the first exception of a callable in this print
  std::string scratch;       // NUL-terminated copies of texts passed as views

  // Keeps a copy of text alive as long as the column can use it.
  const char* keep(std::string_view text, std::error_code& ec) noexcept {
    if (has_nul(text)) return set(ec, errc::invalid_argument), nullptr;
    if (!allocates([&] { texts.emplace_front(text); })) return set(ec, errc::no_memory), nullptr;
    return texts.front().c_str();
  }

  // The scratch copy of name, NUL-terminated; null when memory ran out.
  const char* terminated(std::string_view name) noexcept {
    return allocates([&] { scratch.assign(name); }) ? scratch.c_str() : nullptr;
  }
};

// What one print gave: the library's (or the output's) error, and the first
// exception a callable threw, which is reported in its place.
struct print_outcome {
  std::error_code code;
  callable_failure failure;

  [[nodiscard]] std::error_code error() const noexcept {
    return failure.exception ? failure.code : code;
  }
#if TABULIX_EXCEPTIONS
  void raise() const {
    if (failure.exception) std::rethrow_exception(failure.exception);
    if (code) throw std::system_error(code);
  }
#endif
};

// ---- cells ----

enum class cell_kind { text, int64, uint64, hex, float64, empty };

// One value checked against its column, ready for the library.
struct cell {
  cell_kind kind = cell_kind::empty;
  const char* text = nullptr;  // null for a text still in the scratch buffer
  std::size_t offset = 0;      // where that text starts in the scratch buffer
  std::uint64_t bits = 0;      // an integer's two's complement bits
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

// Integers of any width and signedness; characters and bools are no numbers.
template <class T>
inline constexpr bool is_integer = std::is_integral_v<T> && !is_char<T> && !std::is_same_v<T, bool>;

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

// Whether the integer v has a double of the same value: its magnitude
// without trailing zero bits fits 53 bits. Worked out in integers, since a
// conversion there and back can keep more bits where doubles are wider (x87).
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

// Whether the integer v is a value of R (std::int64_t or std::uint64_t).
template <class R, class T>
constexpr bool fits(T v) noexcept {
  if constexpr (std::is_signed_v<T>) {
    if (v < 0) {
      if constexpr (sizeof(T) > sizeof(R)) return std::is_signed_v<R> && v >= T{INT64_MIN};
      return std::is_signed_v<R>;
    }
  }
  if constexpr (sizeof(T) < sizeof(R)) {
    return true;
  } else {
    using magnitude_t = std::make_unsigned_t<T>;
    return static_cast<magnitude_t>(v) <= magnitude_t{std::numeric_limits<R>::max()};
  }
}

// An integer becomes a cell of its column's number type when its value fits
// there; in a float64 column, when a double holds it exactly.
template <class T>
errc integer_cell(T v, type column, cell& out) noexcept {
  out.bits = static_cast<std::uint64_t>(v);
  if (column == type::float64 && exact_in_double(v)) {
    out.kind = cell_kind::float64;
    out.float_value = static_cast<double>(v);
  } else if (column == type::int64 && fits<std::int64_t>(v)) {
    out.kind = cell_kind::int64;
  } else if ((column == type::uint64 || column == type::hex) && fits<std::uint64_t>(v)) {
    out.kind = column == type::hex ? cell_kind::hex : cell_kind::uint64;
  } else {
    return errc::cell_type_mismatch;
  }
  return errc::ok;
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
    return v.has_value() ? to_cell(*v, column, scratch, out) : errc::ok;
  } else if constexpr (std::is_same_v<T, std::nullopt_t> || std::is_same_v<T, empty_t>) {
    return errc::ok;  // an empty cell
  } else if constexpr (std::is_same_v<T, hex>) {
    if (column != type::hex) return errc::cell_type_mismatch;
    out.kind = cell_kind::hex;
    out.bits = v.value;
    return errc::ok;
  } else if constexpr (is_integer<T>) {
    return integer_cell(v, column, out);
  } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
    if (column != type::float64) return errc::cell_type_mismatch;
    out.kind = cell_kind::float64;
    out.float_value = static_cast<double>(v);
    return errc::ok;
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
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

inline tblx_status put(tblx_table* t, const cell& c, const std::string& scratch) noexcept {
  switch (c.kind) {
    case cell_kind::text:
      return tblx_addcell_string(t, c.text != nullptr ? c.text : scratch.c_str() + c.offset);
    case cell_kind::int64:
      return tblx_addcell_int(t, static_cast<std::int64_t>(c.bits));
    case cell_kind::uint64:
      return tblx_addcell_uint(t, c.bits);
    case cell_kind::hex:
      return tblx_addcell_hex(t, c.bits);
    case cell_kind::float64:
      return tblx_addcell_double(t, c.float_value);
    case cell_kind::empty:
      break;
  }
  return tblx_addcell_empty(t);
}

template <class T>
inline constexpr bool is_error_code = std::is_same_v<std::remove_reference_t<T>, std::error_code>;

// add_row's arguments: values, then optionally a std::error_code&.
template <class... Args>
inline constexpr bool has_error_code = (is_error_code<Args> || ...);

template <class... Args>
constexpr bool error_code_is_last() noexcept {
  const bool flags[] = {false, is_error_code<Args>...};
  for (std::size_t i = 1; i < sizeof...(Args); ++i) {
    if (flags[i]) return false;
  }
  return true;
}

// A caller's writer: w(data, size) gives nothing, or a value that converts
// to bool, false refusing the bytes.
template <class W>
inline constexpr bool is_writer = std::is_invocable_v<W&, const char*, std::size_t>;

// The library's writer function over a caller's writer. A writer that
// cannot throw runs the same code with exceptions on or off, so that
// translation units built both ways may share its type.
template <class W>
struct writer_call {
  W& write;
  callable_failure* failure;

  static int TBLX_CALL call(void* self, const char* data, std::size_t size) noexcept {
    auto& c = *static_cast<writer_call*>(self);
    if constexpr (std::is_nothrow_invocable_v<W&, const char*, std::size_t>) {
      return c.take(data, size) ? 0 : 1;
    } else {
#if TABULIX_EXCEPTIONS
      try {
        return c.take(data, size) ? 0 : 1;
      } catch (...) {
        c.failure->keep_current();
        return 1;
      }
#else
      return c.take(data, size) ? 0 : 1;
#endif
    }
  }

  bool take(const char* data, std::size_t size) {
    if constexpr (std::is_void_v<std::invoke_result_t<W&, const char*, std::size_t>>) {
      write(data, size);
      return true;
    } else {
      return static_cast<bool>(write(data, size));
    }
  }
};

// Where to_string collects the printed bytes; lost tells that memory ran out.
struct string_sink {
  std::string& out;
  bool lost = false;
  bool operator()(const char* data, std::size_t size) noexcept {
    lost = !allocates([&] { out.append(data, size); });
    return !lost;
  }
};

// Where operator<< sends the printed bytes: straight into the stream's buffer.
struct stream_sink {
  std::streambuf* buffer;
  bool operator()(const char* data, std::size_t size) const {
    return buffer->sputn(data, static_cast<std::streamsize>(size)) ==
           static_cast<std::streamsize>(size);
  }
};

struct identity {
  template <class T>
  constexpr T&& operator()(T&& v) const noexcept {
    return std::forward<T>(v);
  }
};

}  // namespace detail

/// The order named "asc", "desc" or "unord"; errc::parse for any other name.
inline order parse_order(std::string_view name, std::error_code& ec) noexcept {
  int value = TBLX_SORT_UNORD;
  std::string copy;
  if (detail::has_nul(name)) {
    detail::set(ec, errc::parse);
  } else if (!detail::allocates([&] { copy.assign(name); })) {
    detail::set(ec, errc::no_memory);
  } else {
    detail::fail(tblx_parse_sortorder(&value, copy.c_str()), ec);
  }
  return static_cast<order>(value);
}
TABULIX_OR_THROW_((inline order parse_order(std::string_view name)), parse_order(name, ec))

/// The names table::set_style(std::string_view) accepts, in the library's order.
inline std::vector<std::string_view> style_names() {
  return detail::name_list(tblx_getstylelist());
}
/// The names parse_order() accepts, in the library's order.
inline std::vector<std::string_view> order_names() {
  return detail::name_list(tblx_getsortorderlist());
}

class table;

/// A column declared in one go, for table's initializer-list constructor
/// and table::add_columns(): the type, the title, and any settings of a
/// column handle. A setting left out keeps the table's default. It keeps
/// its own copies of its title and suffix.
///
///     tabulix::column_spec(tabulix::type::uint64, "Size").summarize()
class column_spec {
 public:
  /// A column of type t titled title_text; implicit, for {type, "Title"}.
  column_spec(type t, std::string_view title_text = {})  // NOLINT(google-explicit-*)
      : type_(t), title_(title_text) {}

  /// Justification of the title.
  column_spec& title_just(just j) noexcept { return set(title_just_, j); }
  /// Justification of the cells and the sum.
  column_spec& cell_just(just j) noexcept { return set(cell_just_, j); }
  /// Smallest width.
  column_spec& min_width(int width) noexcept { return set(min_width_, width); }
  /// Sums a number column in the summary line.
  column_spec& summarize(bool on = true) noexcept { return set(summarize_, on); }
  /// Letter case of hex digits.
  column_spec& hex_case(tabulix::hex_case c) noexcept { return set(hex_case_, c); }
  /// Zero-fills hex numbers to the column width.
  column_spec& leading_zeros(bool on = true) noexcept { return set(leading_zeros_, on); }
  /// Text after every number and sum; copied.
  column_spec& suffix(std::string_view text) {
    suffix_.emplace(text);
    return *this;
  }
  /// Sorts a string column by length first.
  column_spec& sort_by_length(bool on = true) noexcept { return set(sort_by_length_, on); }
  /// Alignment character of just::char_first and just::char_last.
  column_spec& justify_char(char c) noexcept { return set(justify_char_, c); }
  /// String columns only: no line wider than width; longer ones are cut or
  /// wrapped. 0 removes the limit.
  column_spec& max_width(unsigned width, overflow o = overflow::cut) noexcept {
    max_width_ = width_limit{width, o};
    return *this;
  }
  /// Decimals of a float64 column: 0 to 17, or -1 for the shortest text.
  column_spec& precision(int digits) noexcept { return set(precision_, digits); }
  /// Separator of digit groups: ',', '.', '\'', '_' or ' '; 0 for none.
  column_spec& grouping(char separator) noexcept { return set(grouping_, separator); }

 private:
  friend class table;

  template <class T>
  column_spec& set(std::optional<T>& field, T value) noexcept {
    field = value;
    return *this;
  }

  struct width_limit {
    unsigned width;
    overflow how;
  };
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
  std::optional<width_limit> max_width_;
  std::optional<int> precision_;
  std::optional<char> grouping_;
};

/// A handle on a declared column: its ID, and while it is the table's open
/// column, chainable setters. Setters on a column that is no longer open
/// report errc::no_open_column (errc::header_ended once the header is
/// ended); on a default-constructed handle, errc::invalid_argument.
class column {
 public:
  /// A handle on no column.
  column() noexcept = default;

  /// The column's ID, for table::sort() and table::set_sum_text().
  [[nodiscard]] std::int32_t id() const noexcept { return id_; }

  /// A fixed title; copied.
  column& title(std::string_view text, std::error_code& ec) noexcept {
    apply(ec, [&](detail::table_state& s) { return set_kept(s, text, &tblx_setcolumn_title, ec); });
    return *this;
  }
  /// f(unsigned width) gives the title for the column's width at print time:
  /// a text, or a C string that f keeps alive. The table keeps its own copy
  /// of f. An exception from f gives an empty title, and the print reports it.
  template <class F, class = std::enable_if_t<detail::is_title_callable<std::decay_t<F>>::value>>
  column& title_func(F&& f, std::error_code& ec);
  /// Justification of the title.
  column& title_just(just j, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_titlejust, static_cast<unsigned>(j));
  }
  /// Justification of the cells and the sum.
  column& cell_just(just j, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_celljust, static_cast<unsigned>(j));
  }
  /// Smallest width.
  column& min_width(int width, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_minwidth, width);
  }
  /// String columns only: no line wider than width; longer ones are cut or
  /// wrapped (with table::set_multiline(true)).
  column& max_width(unsigned width, overflow o, std::error_code& ec) noexcept {
    apply(ec, [&](detail::table_state& s) {
      return tblx_setcolumn_maxwidth(s.handle, width, static_cast<int>(o));
    });
    return *this;
  }
  /// Sums a number column in the summary line (ignored for strings).
  column& summarize(bool on, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_summarize, on ? 1 : 0);
  }
  /// Letter case of hex digits.
  column& hex_case(tabulix::hex_case c, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_hexcase, static_cast<unsigned>(c));
  }
  /// Zero-fills hex numbers to the column width.
  column& leading_zeros(bool on, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_leadingzero, on ? 1 : 0);
  }
  /// Text after every number and sum; copied.
  column& suffix(std::string_view text, std::error_code& ec) noexcept {
    apply(ec,
          [&](detail::table_state& s) { return set_kept(s, text, &tblx_setcolumn_suffix, ec); });
    return *this;
  }
  /// Sorts a string column by length first.
  column& sort_by_length(bool on, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_sortmode, on ? TBLX_SORTMODE_BY_LENGTH : 0);
  }
  /// Alignment character of just::char_first and just::char_last.
  column& justify_char(char c, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_justchar, static_cast<int>(static_cast<unsigned char>(c)));
  }
  /// Decimals of a float64 column: 0 to 17, or -1 for the shortest text.
  column& precision(int digits, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_precision, digits);
  }
  /// Separator of digit groups: ',', '.', '\'', '_' or ' '; 0 for none.
  column& grouping(char separator, std::error_code& ec) noexcept {
    return call(ec, &tblx_setcolumn_grouping, separator);
  }

  TABULIX_OR_THROW_((column & title(std::string_view text)), title(text, ec))
  TABULIX_OR_THROW_(
      (template <class F,
                 class = std::enable_if_t<detail::is_title_callable<std::decay_t<F>>::value>>
       column &
       title_func(F && f)),
      title_func(std::forward<F>(f), ec))
  TABULIX_OR_THROW_((column & title_just(just j)), title_just(j, ec))
  TABULIX_OR_THROW_((column & cell_just(just j)), cell_just(j, ec))
  TABULIX_OR_THROW_((column & min_width(int width)), min_width(width, ec))
  TABULIX_OR_THROW_((column & max_width(unsigned width, overflow o = overflow::cut)),
                    max_width(width, o, ec))
  TABULIX_OR_THROW_((column & summarize(bool on = true)), summarize(on, ec))
  TABULIX_OR_THROW_((column & hex_case(tabulix::hex_case c)), hex_case(c, ec))
  TABULIX_OR_THROW_((column & leading_zeros(bool on = true)), leading_zeros(on, ec))
  TABULIX_OR_THROW_((column & suffix(std::string_view text)), suffix(text, ec))
  TABULIX_OR_THROW_((column & sort_by_length(bool on = true)), sort_by_length(on, ec))
  TABULIX_OR_THROW_((column & justify_char(char c)), justify_char(c, ec))
  TABULIX_OR_THROW_((column & precision(int digits)), precision(digits, ec))
  TABULIX_OR_THROW_((column & grouping(char separator)), grouping(separator, ec))

 private:
  friend class table;
  column(detail::table_state* state, std::int32_t id) noexcept : state_(state), id_(id) {}

  // Runs setter on the open column if it is this one; the C setters would
  // otherwise act on whichever column is open. -1 from setter: ec is set.
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

  // Sets a text the library keeps a pointer to.
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

/// A table: columns declared first, then rows, printed as aligned text or
/// in another format. See the top of this file for its defaults.
class table {
 public:
  /// A new, empty table in the simple style with the C++ defaults;
  /// errc::no_memory if that fails.
  explicit table(std::error_code& ec) noexcept { create(false, ec); }
  /// The same, with its columns declared (see add_columns()).
  table(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept {
    create(false, ec);
    if (!ec) add_columns(columns, ec);
  }
  /// A new table with the C library's defaults: it prints what the C calls
  /// print, byte for byte.
  static table c_defaults(std::error_code& ec) noexcept { return {true, ec}; }
#if TABULIX_EXCEPTIONS
  /// The throwing form of table(std::error_code&).
  table() : table(false) {}
  /// The throwing form of table(std::initializer_list<column_spec>, std::error_code&).
  table(std::initializer_list<column_spec> columns) : table(false) { add_columns(columns); }
  /// The throwing form of c_defaults(std::error_code&).
  static table c_defaults() { return table(true); }
#endif

  table(const table&) = delete;
  table& operator=(const table&) = delete;
  /// Takes other's table; a table being printed stays where it is.
  table(table&& other) noexcept {
    if (other.printing() == 0) state_ = std::move(other.state_);
  }
  /// Takes other's table, unless either is being printed.
  table& operator=(table&& other) noexcept {
    if (this != &other && printing() == 0 && other.printing() == 0) {
      state_ = std::move(other.state_);
    }
    return *this;
  }
  ~table() = default;

  /// The C handle, for calls the wrapper does not cover. Header and row
  /// calls made through it bypass the wrapper's record of the columns and
  /// the open column and row, and its prints are unknown to the wrapper.
  [[nodiscard]] tblx_table* get() const noexcept {
    return state_ != nullptr ? state_->handle : nullptr;
  }
  /// Whether the table holds a C table (false once moved from).
  explicit operator bool() const noexcept { return state_ != nullptr; }

  /// Hands the C table to the caller, who frees it with tblx_delete(); null,
  /// keeping the table, while it uses a title, suffix or title callable the
  /// wrapper keeps (clean() drops them) or is being printed.
  tblx_table* release() noexcept {
    if (state_ == nullptr || state_->printing > 0 || !state_->texts.empty() ||
        !state_->titles.empty()) {
      return nullptr;
    }
    tblx_table* handle = std::exchange(state_->handle, nullptr);
    state_.reset();
    return handle;
  }

  /// Declares a column, closing the open one first. In the C++ defaults a
  /// number column is right-justified, title and cells.
  column add_column(type t, std::error_code& ec) noexcept {
    std::int32_t id = 0;
    if (!valid(ec)) return {};
    detail::table_state& s = *state_;
    // Room for the new column's type first, so that nothing fails after the
    // library has declared it; grown geometrically, as push_back would.
    const auto grow = [&s] {
      if (s.kinds.size() == s.kinds.capacity()) s.kinds.reserve(2 * s.kinds.size() + 4);
    };
    if (!detail::allocates(grow)) return detail::set(ec, errc::no_memory), column{};
    if (!close_column(ec)) return {};
    if (detail::fail(tblx_begincolumn_columnid(s.handle, static_cast<unsigned>(t), &id), ec)) {
      return {};
    }
    s.open_id = id;
    s.kinds.push_back(t);
    if (!s.c_defaults && t != type::string) {
      tblx_setcolumn_titlejust(s.handle, TBLX_JUST_RIGHT);
      tblx_setcolumn_celljust(s.handle, TBLX_JUST_RIGHT);
    }
    return {&s, id};
  }

  /// A column with its settings in one go; the first refused setting stops
  /// it, and the column stays declared with the settings before that one.
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

  /// Declares the columns in order; the first refusal stops it. The header
  /// stays open for more columns until end_header() or the first add_row().
  void add_columns(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    for (const column_spec& decl : columns) {
      if (add_column(decl, ec); ec) return;
    }
  }

  /// Closes the open column, if any, and the header.
  void end_header(std::error_code& ec) noexcept {
    if (!valid(ec) || !close_column(ec)) return;
    if (!detail::fail(tblx_endheader(state_->handle), ec)) state_->header_ended = true;
  }

  /// The ID of the column at a 0-based position, for sort(); 0 for none.
  [[nodiscard]] std::int32_t column_id(std::size_t position) const noexcept {
    std::int32_t id = 0;
    if (state_ == nullptr || position >= state_->kinds.size()) return 0;
    const auto at = static_cast<std::uint32_t>(position);
    return tblx_getcolumnid(state_->handle, at, &id) == TBLX_OK ? id : 0;
  }

  /// Adds a row with one cell per value, in column order; fewer values than
  /// columns give a short row. The first row ends the header. Integers of
  /// any type go into their column's number type when their value fits
  /// there (errc::cell_type_mismatch otherwise); texts into string columns,
  /// tabulix::hex{} into hex columns, float and double into float64 columns;
  /// tabulix::empty and an empty std::optional give an empty cell. A
  /// trailing std::error_code& selects the non-throwing form. All or
  /// nothing: a refused or failed row leaves the rows as they were.
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

  /// add_row() for each element of rows, with the values project(element)
  /// gives as a tuple (std::tie...); without project, the elements are such
  /// tuples. Stops at the first refused row, which is not added.
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
  /// add_rows() of elements that are tuples themselves.
  template <class Range>
  void add_rows(Range&& rows, std::error_code& ec) {
    add_rows(rows, detail::identity{}, ec);
  }
#if TABULIX_EXCEPTIONS
  /// The throwing form of add_rows(Range&&, Projection&&, std::error_code&).
  template <class Range, class Projection,
            class = std::enable_if_t<!detail::is_error_code<Projection>>>
  void add_rows(Range&& rows, Projection&& project) {
    detail::or_throw(
        [&](std::error_code& ec) { add_rows(rows, std::forward<Projection>(project), ec); });
  }
  /// The throwing form of add_rows(Range&&, std::error_code&).
  template <class Range>
  void add_rows(Range&& rows) {
    detail::or_throw([&](std::error_code& ec) { add_rows(rows, detail::identity{}, ec); });
  }
#endif

  /// Opens a row to be filled by add_cell(); does not end the header.
  void begin_row(std::error_code& ec) noexcept {
    if (valid(ec) && !detail::fail(tblx_beginrow(state_->handle), ec)) state_->row_cells = 0;
  }
  /// Adds a cell to the open row, in the next column, converted as add_row()
  /// converts its values.
  template <class T>
  void add_cell(const T& value, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    const bool known = s.row_cells < s.kinds.size();
    detail::cell c;
    s.scratch.clear();
    const errc e = detail::to_cell(value, known ? s.kinds[s.row_cells] : detail::natural_type<T>(),
                                   s.scratch, c);
    if (e != errc::ok) return detail::set(ec, e);
    if (!detail::fail(detail::put(s.handle, c, s.scratch), ec)) ++s.row_cells;
  }
  /// Ends the open row.
  void end_row(std::error_code& ec) noexcept {
    if (valid(ec) && !detail::fail(tblx_endrow(state_->handle), ec)) state_->row_cells = SIZE_MAX;
  }
  /// Drops the open row and its cells (tblx_cancelrow()).
  void cancel_row(std::error_code& ec) noexcept {
    if (valid(ec) && !detail::fail(tblx_cancelrow(state_->handle), ec)) {
      state_->row_cells = SIZE_MAX;
    }
  }

  /// Ended rows; 0 for a moved-from table.
  [[nodiscard]] std::int32_t row_count() const noexcept { return tblx_getrowcount(get()); }

  /// Drops every row (the open one too); keeps the header.
  void remove_rows(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    tblx_removerows(state_->handle);
    state_->row_cells = SIZE_MAX;
    ec.clear();
  }

  /// Drops columns and rows and reopens the header; keeps style and fillers.
  void clean(std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    tblx_clean(s.handle);
    s.kinds.clear();
    s.texts.clear();  // no column refers to these any more
    s.titles.clear();
    s.open_id = 0;
    s.header_ended = false;
    s.row_cells = SIZE_MAX;
    ec.clear();
  }

  /// The style of the text format.
  void set_style(style s, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setstyle(state_->handle, static_cast<int>(s)), ec);
  }
  /// The style by name: "simple", "raw", "fancy", "fancyw"; errc::parse for others.
  void set_style(std::string_view name, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (detail::has_nul(name)) return detail::set(ec, errc::parse);
    const char* text = state_->terminated(name);
    if (text == nullptr) return detail::set(ec, errc::no_memory);
    detail::fail(tblx_setstylestr(state_->handle, text), ec);
  }
  /// The style by name (a literal, which would be ambiguous otherwise).
  void set_style(const char* name, std::error_code& ec) noexcept {
    if (name == nullptr) return detail::set(ec, errc::invalid_argument);
    set_style(std::string_view(name), ec);
  }
  /// The output format of the prints.
  void set_format(format f, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setformat(state_->handle, static_cast<int>(f)), ec);
  }
  /// What every width of the table counts.
  void set_width_mode(width w, std::error_code& ec) noexcept {
    if (valid(ec))
      detail::fail(tblx_setwidthmode(state_->handle, static_cast<std::int32_t>(w)), ec);
  }
  /// Whether every title counts in its column's width (on in the C++
  /// defaults; in the C defaults only titles aligned on a character count).
  void set_measure_titles(bool on, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmeasuretitles(state_->handle, on ? 1 : 0), ec);
  }
  /// Whether line feeds in texts start new lines inside their fields.
  void set_multiline(bool on, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmultiline(state_->handle, on ? 1 : 0), ec);
  }
  /// The width the printed lines should fit, 0 for none: text columns are
  /// narrowed, and columns that still do not fit are left out and named.
  void set_max_width(unsigned width, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setmaxwidth(state_->handle, width), ec);
  }
  /// What the summary line shows for unsummed columns in the given style
  /// (fancy and fancyw share one filler).
  void set_sum_filler(style s, char c, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::fail(tblx_setsumreplace(state_->handle, static_cast<unsigned>(s),
                                    static_cast<int>(static_cast<unsigned char>(c))),
                 ec);
  }
  /// The text the summary line shows in a column instead of its sum or
  /// filler, such as "Total"; copied. Needs the ended header.
  void set_sum_text(const column& c, std::string_view text, std::error_code& ec) noexcept {
    if (owns(c, ec)) set_sum_text(c.id(), text, ec);
  }
  /// set_sum_text() by column ID.
  void set_sum_text(std::int32_t column_id, std::string_view text, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    if (detail::has_nul(text)) return detail::set(ec, errc::invalid_argument);
    const char* copy = state_->terminated(text);
    if (copy == nullptr) return detail::set(ec, errc::no_memory);
    detail::fail(tblx_setsumtext(state_->handle, column_id, copy), ec);
  }
  /// The column shows its sum or filler again.
  void clear_sum_text(const column& c, std::error_code& ec) noexcept {
    if (owns(c, ec)) clear_sum_text(c.id(), ec);
  }
  /// clear_sum_text() by column ID.
  void clear_sum_text(std::int32_t column_id, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_setsumtext(state_->handle, column_id, nullptr), ec);
  }

  /// Sorts the rows stably by a column of this table.
  void sort(const column& by, order o, std::error_code& ec) noexcept {
    if (owns(by, ec)) sort(by.id(), o, ec);
  }
  /// sort() by column ID.
  void sort(std::int32_t column_id, order o, std::error_code& ec) noexcept {
    if (valid(ec)) detail::fail(tblx_sort(state_->handle, static_cast<int>(o), column_id), ec);
  }

  /// Prints the sections to a stream (the summary line only where it shows
  /// something, in the C++ defaults); errc::output_error when the stream
  /// reports an error, after which the table may be written in part.
  void print(std::FILE* stream, section s, std::error_code& ec) noexcept {
    ec = print_to(stream, s).error();
  }
  /// print() of every section.
  void print(std::FILE* stream, std::error_code& ec) noexcept { print(stream, section::all, ec); }
  /// Streams the table (tblx_flushrows): writes the rows added since the
  /// last flush, in the layout that the first flush measured and froze, and
  /// frees them; of s only the titles, the title rule (first flush) and the
  /// rows count. A later print() writes the summary of every row ever
  /// added; sort() is refused while frozen, remove_rows() and clean() end
  /// the freeze.
  void flush_rows(std::FILE* stream, section s, std::error_code& ec) noexcept {
    ec = print_with<detail::string_sink>(s, stream, nullptr, true).error();
  }
  /// flush_rows() through a writer, as print() takes one.
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void flush_rows(Writer&& write, section s, std::error_code& ec) noexcept {
    ec = print_with(s, nullptr, &write, true).error();
  }

  /// Prints through write(const char* data, std::size_t size), called with
  /// the bytes in order, a few kilobytes at a time; it gives nothing, or
  /// false to refuse the bytes, which stops the print with
  /// errc::output_error. An exception from it stops the print too.
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, section s, std::error_code& ec) noexcept {
    ec = print_through(s, write).error();
  }
  /// print() of every section through a writer.
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, std::error_code& ec) noexcept {
    print(std::forward<Writer>(write), section::all, ec);
  }

  /// The printed sections as a string; "" on failure.
  [[nodiscard]] std::string to_string(section s, std::error_code& ec) noexcept {
    std::string out;
    ec = print_into(s, out).error();
    if (ec) out.clear();
    return out;
  }
  /// to_string() of every section.
  [[nodiscard]] std::string to_string(std::error_code& ec) noexcept {
    return to_string(section::all, ec);
  }

  /// Writes the table straight into the stream's buffer; a failure sets
  /// failbit (badbit when the stream refused bytes).
  friend std::ostream& operator<<(std::ostream& os, table& t) {
    const std::ostream::sentry ready(os);
    if (!ready) return os;
    detail::stream_sink sink{os.rdbuf()};
    const std::error_code ec = t.print_through(section::all, sink).error();
    if (ec == errc::output_error || ec == std::errc::io_error) {
      os.setstate(std::ios_base::badbit);
    } else if (ec) {
      os.setstate(std::ios_base::failbit);
    }
    return os;
  }
  /// operator<< of a temporary table.
  friend std::ostream& operator<<(std::ostream& os, table&& t) { return os << t; }

  TABULIX_OR_THROW_((column add_column(type t)), add_column(t, ec))
  TABULIX_OR_THROW_((column add_column(const column_spec& decl)), add_column(decl, ec))
  TABULIX_OR_THROW_((void add_columns(std::initializer_list<column_spec> columns)),
                    add_columns(columns, ec))
  TABULIX_OR_THROW_((void end_header()), end_header(ec))
  TABULIX_OR_THROW_((void begin_row()), begin_row(ec))
  TABULIX_OR_THROW_((template <class T> void add_cell(const T& value)), add_cell(value, ec))
  TABULIX_OR_THROW_((void end_row()), end_row(ec))
  TABULIX_OR_THROW_((void cancel_row()), cancel_row(ec))
  TABULIX_OR_THROW_((void remove_rows()), remove_rows(ec))
  TABULIX_OR_THROW_((void clean()), clean(ec))
  TABULIX_OR_THROW_((void set_style(style s)), set_style(s, ec))
  TABULIX_OR_THROW_((void set_style(std::string_view name)), set_style(name, ec))
  TABULIX_OR_THROW_((void set_style(const char* name)), set_style(name, ec))
  TABULIX_OR_THROW_((void set_format(format f)), set_format(f, ec))
  TABULIX_OR_THROW_((void set_width_mode(width w)), set_width_mode(w, ec))
  TABULIX_OR_THROW_((void set_measure_titles(bool on)), set_measure_titles(on, ec))
  TABULIX_OR_THROW_((void set_multiline(bool on)), set_multiline(on, ec))
  TABULIX_OR_THROW_((void set_max_width(unsigned width)), set_max_width(width, ec))
  TABULIX_OR_THROW_((void set_sum_filler(style s, char c)), set_sum_filler(s, c, ec))
  TABULIX_OR_THROW_((void set_sum_text(const column& c, std::string_view text)),
                    set_sum_text(c, text, ec))
  TABULIX_OR_THROW_((void set_sum_text(std::int32_t column_id, std::string_view text)),
                    set_sum_text(column_id, text, ec))
  TABULIX_OR_THROW_((void clear_sum_text(const column& c)), clear_sum_text(c, ec))
  TABULIX_OR_THROW_((void clear_sum_text(std::int32_t column_id)), clear_sum_text(column_id, ec))
  TABULIX_OR_THROW_((void sort(const column& by, order o)), sort(by, o, ec))
  TABULIX_OR_THROW_((void sort(std::int32_t column_id, order o)), sort(column_id, o, ec))
#if TABULIX_EXCEPTIONS
  /// The throwing form of print(std::FILE*, section, std::error_code&): a
  /// title callable's exception is rethrown as it was.
  void print(std::FILE* stream, section s = section::all) { print_to(stream, s).raise(); }
  /// The throwing form of flush_rows(std::FILE*, section, std::error_code&).
  void flush_rows(std::FILE* stream, section s = section::all) {
    print_with<detail::string_sink>(s, stream, nullptr, true).raise();
  }
  /// The throwing form of flush_rows(Writer&&, section, std::error_code&).
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void flush_rows(Writer&& write, section s = section::all) {
    print_with(s, nullptr, &write, true).raise();
  }
  /// The throwing form of print(Writer&&, section, std::error_code&).
  template <class Writer, class = std::enable_if_t<detail::is_writer<Writer>>>
  void print(Writer&& write, section s = section::all) {
    print_through(s, write).raise();
  }
  /// The throwing form of to_string(section, std::error_code&).
  [[nodiscard]] std::string to_string(section s = section::all) {
    std::string out;
    print_into(s, out).raise();
    return out;
  }
#endif

 private:
  friend class column;

#if TABULIX_EXCEPTIONS
  explicit table(bool c_defaults) {
    detail::or_throw([&](std::error_code& ec) { create(c_defaults, ec); });
  }
#endif
  table(bool c_defaults, std::error_code& ec) noexcept { create(c_defaults, ec); }

  // The state comes from plain new where exceptions report its failure: a
  // program that replaces operator new need not replace the nothrow form too.
  void create(bool c_defaults, std::error_code& ec) noexcept {
    tblx_table* handle = tblx_new();
    if (handle == nullptr) return detail::set(ec, errc::no_memory);
#if TABULIX_EXCEPTIONS
    detail::allocates([&] { state_ = std::make_unique<detail::table_state>(handle); });
#else
    state_.reset(new (std::nothrow) detail::table_state(handle));
#endif
    if (state_ == nullptr) return tblx_delete(handle), detail::set(ec, errc::no_memory);
    state_->c_defaults = c_defaults;
    state_->row_cells = SIZE_MAX;
    if (!c_defaults) tblx_setmeasuretitles(handle, 1);
    ec.clear();
  }

  [[nodiscard]] int printing() const noexcept { return state_ != nullptr ? state_->printing : 0; }

  // A table that holds a C table and is not being printed.
  bool valid(std::error_code& ec) const noexcept {
    if (state_ != nullptr && state_->handle != nullptr && state_->printing == 0) return true;
    detail::set(ec, errc::invalid_argument);
    return false;
  }
  // valid(), and c a column of this table.
  bool owns(const column& c, std::error_code& ec) const noexcept {
    if (!valid(ec)) return false;
    if (c.state_ == state_.get()) return true;
    detail::set(ec, errc::no_such_column);
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

  // The cell of one add_row argument, in the next column; an error code
  // argument is none.
  template <class T>
  errc convert(const T& value, detail::cell* cells, std::size_t& n) noexcept {
    if constexpr (detail::is_error_code<T>) {
      return errc::ok;
    } else {
      const errc e = detail::to_cell(value, state_->kinds[n], state_->scratch, cells[n]);
      ++n;
      return e;
    }
  }

  // Every value is converted before anything is added; a row the library
  // refuses midway (out of memory) is cancelled, so the rows stay as they were.
  template <class... Values>
  void add_row_to(std::error_code& ec, const Values&... values) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    constexpr std::size_t count = (std::size_t{0} + ... + (detail::is_error_code<Values> ? 0 : 1));
    if (count > s.kinds.size()) return detail::set(ec, errc::no_more_columns);
    detail::cell cells[count + 1];
    std::size_t n = 0;
    errc e = errc::ok;
    s.scratch.clear();
    static_cast<void>((((e = convert(values, cells, n)) == errc::ok) && ...));
    static_cast<void>(n);  // unused in an empty row
    if (e != errc::ok) return detail::set(ec, e);
    if (!s.header_ended && (end_header(ec), ec)) return;
    if (detail::fail(tblx_beginrow(s.handle), ec)) return;
    tblx_status rc = TBLX_OK;
    for (std::size_t i = 0; i < count && rc == TBLX_OK; ++i)
      rc = detail::put(s.handle, cells[i], s.scratch);
    if (rc == TBLX_OK) rc = tblx_endrow(s.handle);
    if (rc != TBLX_OK) tblx_cancelrow(s.handle);
    detail::fail(rc, ec);
  }

  // The sections a print writes: without the summary line where it shows
  // nothing, in the C++ defaults.
  [[nodiscard]] section shown(section s) const noexcept {
    if (state_->c_defaults || tblx_hassummary(state_->handle)) return s;
    return s & ~(section::sum_rule | section::sum);
  }

  // One print (or flush, tblx_flushrows) through the library's writer, or to
  // a stream when stream is set; a nested one (from a title callable) is
  // refused by valid().
  template <class Writer>
  detail::print_outcome print_with(section s, std::FILE* stream, Writer* write,
                                   bool flush = false) noexcept {
    detail::print_outcome outcome;
    if (!valid(outcome.code)) return outcome;
    detail::table_state& st = *state_;
    st.failure = {};  // a print made through get() may have left one
    ++st.printing;
    const auto sections = static_cast<unsigned>(shown(s));
    if (write == nullptr) {
      detail::fail(flush ? tblx_flushrows(st.handle, sections, stream)
                         : tblx_print(st.handle, sections, stream),
                   outcome.code);
    } else {
      detail::writer_call<Writer> call{*write, &st.failure};
      const tblx_writer through = &detail::writer_call<Writer>::call;
      detail::fail(flush ? tblx_flushrows_to(st.handle, sections, through, &call)
                         : tblx_print_to(st.handle, sections, through, &call),
                   outcome.code);
    }
    --st.printing;
    outcome.failure = std::exchange(st.failure, {});
    return outcome;
  }
  detail::print_outcome print_to(std::FILE* stream, section s) noexcept {
    return print_with<detail::string_sink>(s, stream, nullptr);
  }
  template <class Writer>
  detail::print_outcome print_through(section s, Writer& write) noexcept {
    return print_with(s, nullptr, &write);
  }
  // Prints into a string: errc::no_memory when the string could not grow.
  detail::print_outcome print_into(section s, std::string& out) noexcept {
    detail::string_sink sink{out};
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
    kept->failure = &s.failure;
    const tblx_status rc = tblx_setcolumn_titlefunc(s.handle, &detail::title_source::call, kept);
    if (rc != TBLX_OK) s.titles.pop_front();
    return rc;
  });
  return *this;
}

}  // namespace tabulix

#undef TABULIX_OR_THROW_
#undef TABULIX_STRIP_
#undef TABULIX_VISIBLE_

#endif  // TABULIX_HPP
