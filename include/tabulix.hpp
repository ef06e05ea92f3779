// SPDX-License-Identifier: MIT
/// @file tabulix.hpp
/// @brief libtabulix for C++17 and later: a header-only layer over tabulix.h.
///
///     tabulix::table t{{tabulix::type::string, "Item"},
///                      tabulix::column_spec(tabulix::type::uint64, "Qty").summarize()};
///     t.add_row("pen", 10);   // the first row ends the header
///     std::cout << t;
///
/// Unlike a C table, a table lets titles size their columns, right-justifies number columns
/// unless told otherwise, and prints no summary line (nor its rule) unless a column is summed or
/// has a summary text; table::c_defaults() prints byte for byte what the C calls print.
///
/// Every member that can fail has a noexcept form taking a trailing std::error_code& and, with
/// exceptions, one that throws std::system_error with a tabulix::errc; units built either way may
/// share tables. A table owns its tblx_table* and copies of what it hands to the library; it is
/// move-only, used by one thread at a time, and reports errc::invalid_argument once moved from.
/// Title callables and writers run inside a print, while their table refuses calls that would
/// change, print or free it (errc::invalid_argument) and does not move. The print reports the
/// first exception from one: the throwing forms rethrow it, the error_code forms give
/// errc::no_memory for std::bad_alloc, the code of a std::system_error, or operation_canceled.
#ifndef TABULIX_HPP
#define TABULIX_HPP

#if defined(_MSVC_LANG) ? _MSVC_LANG < 201703L : __cplusplus < 201703L
#error "tabulix.hpp needs C++17 or later (for example -std=c++17)"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <forward_list>
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

// One error category in the process, even across shared libraries of hidden visibility.
#if defined(__GNUC__) && !defined(_WIN32) && !defined(__CYGWIN__)
#define TABULIX_VISIBLE_ __attribute__((visibility("default")))
#else
#define TABULIX_VISIBLE_
#endif

// The throwing form of a member: its signature in parentheses, then its error_code form's call.
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

/// The library's status codes; tblx_strerror() gives their messages.
enum class errc : int {
  ok = TBLX_OK,
  invalid_argument = TBLX_ERR_INVALID_ARGUMENT,  ///< Also a call into a table being printed.
  no_memory = TBLX_ERR_NO_MEMORY,
  parse = TBLX_ERR_PARSE,  ///< An unknown name.
  invalid_style = TBLX_ERR_INVALID_STYLE,
  invalid_column_type = TBLX_ERR_INVALID_COLUMN_TYPE,
  invalid_casing = TBLX_ERR_INVALID_CASING,
  invalid_justification = TBLX_ERR_INVALID_JUSTIFICATION,
  cell_type_mismatch = TBLX_ERR_CELL_TYPE_MISMATCH,  ///< A value its column refuses.
  no_header = TBLX_ERR_NO_HEADER,                    ///< The header is still open.
  header_ended = TBLX_ERR_HEADER_ENDED,
  no_open_column = TBLX_ERR_NO_OPEN_COLUMN,
  column_open = TBLX_ERR_COLUMN_OPEN,
  no_more_columns = TBLX_ERR_NO_MORE_COLUMNS,  ///< More values than columns.
  no_open_row = TBLX_ERR_NO_OPEN_ROW,
  row_open = TBLX_ERR_ROW_OPEN,
  no_such_column = TBLX_ERR_NO_SUCH_COLUMN,
  not_comparable = TBLX_ERR_NOT_COMPARABLE,
  invalid_sort_order = TBLX_ERR_INVALID_SORT_ORDER,
  output_error = TBLX_ERR_OUTPUT,  ///< The stream or writer failed.
};

namespace detail {
class error_category final : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "tabulix"; }
  [[nodiscard]] std::string message(int code) const override { return tblx_strerror(code); }
  // Lets callers test against the portable conditions where one fits.
  [[nodiscard]] std::error_condition default_error_condition(int code) const noexcept override {
    if (code == TBLX_ERR_INVALID_ARGUMENT) return std::errc::invalid_argument;
    if (code == TBLX_ERR_NO_MEMORY) return std::errc::not_enough_memory;
    if (code == TBLX_ERR_OUTPUT) return std::errc::io_error;
    return {code, *this};
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

/// Column types: texts, 64-bit integers (hex: unsigned, shown in hexadecimal) and doubles.
enum class type : unsigned {
  string = TBLX_TYPE_STRING,
  int64 = TBLX_TYPE_INT,
  uint64 = TBLX_TYPE_UINT,
  hex = TBLX_TYPE_HEX,
  float64 = TBLX_TYPE_DOUBLE,
};
/// Justifications; char_first and char_last line up the first or last justify character.
enum class just : unsigned {
  left = TBLX_JUST_LEFT,
  right = TBLX_JUST_RIGHT,
  center = TBLX_JUST_CENTER,
  char_first = TBLX_JUST_CHAR_FIRST,
  char_last = TBLX_JUST_CHAR_LAST,
};
/// Letter case of hexadecimal digits.
enum class hex_case : unsigned { lower = TBLX_HEX_LOWER, upper = TBLX_HEX_UPPER };
/// What a text wider than max_width does: cut with a mark, or wrap (with multi-line on).
enum class overflow : int { cut = TBLX_OVERFLOW_CUT, wrap = TBLX_OVERFLOW_WRAP };
/// Styles of the text format.
enum class style : int {
  simple = TBLX_STYLE_SIMPLE,  ///< Padded fields separated by one space.
  raw = TBLX_STYLE_RAW,        ///< Fields separated by one space, not padded.
  fancy = TBLX_STYLE_FANCY,    ///< "|" between fields, rules of "-" and "+".
  fancyw = TBLX_STYLE_FANCYW,  ///< " | " between fields, rules of "-" and "-+-".
};
/// Output formats: aligned text in the table's style, or data (CSV lines end in CR LF).
enum class format : int {
  text = TBLX_FORMAT_TEXT,
  markdown = TBLX_FORMAT_MARKDOWN,
  csv = TBLX_FORMAT_CSV,
  tsv = TBLX_FORMAT_TSV,
  json = TBLX_FORMAT_JSON,
  jsonl = TBLX_FORMAT_JSONL,
  html = TBLX_FORMAT_HTML,
};
/// Sort orders: as it is, ascending (rows without the key cell first), or descending.
enum class order : int { unord = TBLX_SORT_UNORD, asc = TBLX_SORT_ASC, desc = TBLX_SORT_DESC };
/// What the widths of a table count: bytes, or terminal columns of UTF-8 text.
enum class width : std::int32_t { bytes = TBLX_WIDTH_BYTES, display = TBLX_WIDTH_DISPLAY };
/// Print sections; the rules are those of the fancy styles.
enum class section : unsigned {
  titles = TBLX_PRINT_TITLES,
  title_rule = TBLX_PRINT_TITLE_RULE,
  rows = TBLX_PRINT_ROWS,
  sum_rule = TBLX_PRINT_SUM_RULE,
  sum = TBLX_PRINT_SUM,  ///< The summary line.
  all = TBLX_PRINT_ALL,
};

///@{
/// Sets of sections: both sets (|), the sections in both (&), the other sections (~).
constexpr section operator|(section a, section b) noexcept {
  return section{static_cast<unsigned>(a) | static_cast<unsigned>(b)};
}
constexpr section operator&(section a, section b) noexcept {
  return section{static_cast<unsigned>(a) & static_cast<unsigned>(b)};
}
constexpr section operator~(section a) noexcept {
  return section{~static_cast<unsigned>(a) & static_cast<unsigned>(section::all)};
}
constexpr section& operator|=(section& a, section b) noexcept { return a = a | b; }
constexpr section& operator&=(section& a, section b) noexcept { return a = a & b; }
///@}

/// A value for a hex column only; plain integers go to any number column.
struct hex {
  std::uint64_t value;  ///< The number.
};

/// The type of tabulix::empty.
struct empty_t {};
/// An empty cell in a column of any type, as an empty std::optional gives.
inline constexpr empty_t empty{};

namespace detail {

// Maps a library status to an error_code; returns whether it was a failure.
inline bool fail(tblx_status rc, std::error_code& ec) noexcept {
  ec = rc == TBLX_OK ? std::error_code() : make_error_code(static_cast<errc>(rc));
  return rc != TBLX_OK;
}
inline void set(std::error_code& ec, errc e) noexcept { ec = e; }

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

// The first exception of a callable in a print, and the code the error_code forms give for it.
struct outcome {
  std::error_code code;
  std::exception_ptr exception;

  // Runs a caller's callable for the library, which takes no exception: the first one f throws
  // is kept with its code, and `fallback` given instead. One that cannot throw runs the same
  // code either way.
  template <class R, class F>
  R guard([[maybe_unused]] R fallback, F&& f) noexcept {
#if TABULIX_EXCEPTIONS
    if constexpr (!std::is_nothrow_invocable_v<F&>) {
      const auto keep = [this](std::error_code first) noexcept {
        if (exception) return;
        exception = std::current_exception();
        code = first;
      };
      try {
        return f();
      } catch (const std::bad_alloc&) {
        keep(errc::no_memory);
      } catch (const std::system_error& e) {
        keep(e.code());
      } catch (...) {
        keep(std::make_error_code(std::errc::operation_canceled));
      }
      return fallback;
    }
#endif
    return f();
  }
};

// Runs f, which may allocate; false when it threw (memory ran out).
template <class F>
bool allocates(F&& f) noexcept {
  outcome failure;
  return failure.guard(false, [&] { return f(), true; });
}

// A text the library would cut short at a NUL inside: refused instead.
inline bool has_nul(std::string_view s) noexcept { return s.find('\0') != std::string_view::npos; }

// f(unsigned width) gives a C string, or a text that converts to std::string_view or
// std::string (not a number, which std::string would take as one character).
template <class F, class = void>
inline constexpr bool is_title_callable = false;
template <class F>
inline constexpr bool is_title_callable<F, std::enable_if_t<std::is_invocable_v<F&, unsigned>>> =
    std::is_convertible_v<std::invoke_result_t<F&, unsigned>, std::string_view> ||
    std::is_convertible_v<std::invoke_result_t<F&, unsigned>, std::string>;

// A title callable of any type, shared by the column declarations and tables that hold it; each
// table's column has its own copy, with its last title, which the library gets as its argument.
struct title_source {
  std::shared_ptr<void> callable;
  tblx_title_func call = nullptr;  // title_of<the callable's type>
  outcome* failure = nullptr;      // where the table keeps an exception from the callable
  std::string text;
};

// The title a callable of type F gives: a C string it keeps alive (null is ""), or a text kept
// in the source until the next call. Made where the callable is given, it catches what it throws.
template <class F>
const char* TBLX_CALL title_of(void* source, std::uint32_t width) noexcept {
  auto& s = *static_cast<title_source*>(source);
  F& f = *static_cast<F*>(s.callable.get());
  return s.failure->guard("", [&]() -> const char* {
    using result = std::invoke_result_t<F&, unsigned>;
    if constexpr (std::is_convertible_v<result, const char*>) {
      const char* title = f(width);
      return title != nullptr ? title : "";
    } else if constexpr (std::is_convertible_v<result, std::string_view>) {
      s.text.assign(std::string_view(f(width)));  // a temporary result lives until here
    } else {
      s.text = std::string(f(width));
    }
    return s.text.c_str();
  });
}

template <class... T>
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

// Whether a double holds the integer v: its magnitude without trailing zero bits fits 53 bits,
// worked out in integers (a conversion there and back keeps more bits where doubles are wider).
template <class T>
constexpr bool exact_in_double(T v) noexcept {
  using magnitude_t = std::common_type_t<std::make_unsigned_t<T>, std::uint64_t>;
  auto m = static_cast<magnitude_t>(v);
  if constexpr (std::is_signed_v<T>) m = v < 0 ? magnitude_t{0} - m : m;
  return std::numeric_limits<std::make_unsigned_t<T>>::digits <= 53 || m == 0 ||
         (m / (m & (magnitude_t{0} - m))) >> 53 == 0;  // m over its lowest bit
}

// Whether the integer v is a value of R (std::int64_t or std::uint64_t).
template <class R, class T>
constexpr bool fits(T v) noexcept {
  if constexpr (std::is_signed_v<T>) {
    using wide_t = std::common_type_t<T, std::int64_t>;
    if (v < 0) return std::is_signed_v<R> && static_cast<wide_t>(v) >= wide_t{INT64_MIN};
  }
  using magnitude_t = std::common_type_t<std::make_unsigned_t<T>, std::uint64_t>;
  return static_cast<magnitude_t>(v) <= magnitude_t{std::numeric_limits<R>::max()};
}

// A text goes into a string column: a C string as it is, a view through a NUL-terminated copy.
template <class T>
tblx_status put_text(tblx_table* t, const T& v, std::string& scratch) noexcept {
  const char* text = nullptr;
  if constexpr (std::is_convertible_v<const T&, const char*>) {
    if ((text = v) == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  } else {
    const std::string_view view = v;
    if (has_nul(view)) return TBLX_ERR_INVALID_ARGUMENT;
    if constexpr (std::is_same_v<T, std::string>) {
      text = v.c_str();
    } else if (t != nullptr) {
      if (!allocates([&] { scratch.assign(view); })) return TBLX_ERR_NO_MEMORY;
      text = scratch.c_str();
    }
  }
  return t == nullptr ? TBLX_OK : tblx_addcell_string(t, text);
}

// Adds v to the open row as a cell of a column of type `kind`, converted as
// table::add_row() says; with t null, only tells whether it would be refused.
template <class T>
tblx_status put(tblx_table* t, type kind, const T& v, std::string& scratch) noexcept {
  const auto add = [t](bool fits, auto add_cell, auto... value) -> tblx_status {
    if (!fits) return TBLX_ERR_CELL_TYPE_MISMATCH;
    return t == nullptr ? TBLX_OK : add_cell(t, value...);
  };
  if constexpr (is_optional<T>::value) {
    return v ? put(t, kind, *v, scratch) : add(true, &tblx_addcell_empty);
  } else if constexpr (std::is_same_v<T, std::nullopt_t> || std::is_same_v<T, empty_t>) {
    return add(true, &tblx_addcell_empty);
  } else if constexpr (std::is_same_v<T, hex>) {
    return add(kind == type::hex, &tblx_addcell_hex, v.value);
  } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
    return add(kind == type::float64, &tblx_addcell_double, static_cast<double>(v));
  } else if constexpr (is_integer<T>) {  // into a number column whose type holds its value
    if (kind == type::float64) {
      return add(exact_in_double(v), &tblx_addcell_double, static_cast<double>(v));
    }
    if (kind == type::int64) {
      return add(fits<std::int64_t>(v), &tblx_addcell_int, static_cast<std::int64_t>(v));
    }
    return add(kind != type::string && fits<std::uint64_t>(v),
               kind == type::hex ? &tblx_addcell_hex : &tblx_addcell_uint,
               static_cast<std::uint64_t>(v));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return kind == type::string ? put_text(t, v, scratch) : TBLX_ERR_CELL_TYPE_MISMATCH;
  } else {
    static_assert(always_false<T>,
                  "tabulix: a cell takes a text, an integer, a float or double, "
                  "tabulix::hex{...}, tabulix::empty or a std::optional of one of them (format "
                  "other values, such as long double, into a text first); "
                  "a std::error_code& goes last");
    return TBLX_ERR_INVALID_ARGUMENT;
  }
}

// Whether add_row's arguments end with a std::error_code&: its non-throwing form.
template <class... Args>
inline constexpr bool ends_with_error_code = std::is_same_v<
    std::tuple_element_t<sizeof...(Args), std::tuple<void, std::remove_reference_t<Args>...>>,
    std::error_code>;

// A std::FILE*, or a writer w(data, size) that gives nothing or false to refuse the bytes.
template <class Out>
inline constexpr bool is_output =
    std::is_convertible_v<Out, std::FILE*> || std::is_invocable_v<Out&, const char*, std::size_t>;

// The library's writer function over a caller's writer of type W, given the writer and where
// its table keeps an exception from it.
template <class W>
int TBLX_CALL write_to(void* target, const char* data, std::size_t size) noexcept {
  auto& [writer, failure] = *static_cast<std::pair<W*, outcome*>*>(target);
  constexpr bool nothrow = std::is_nothrow_invocable_v<W&, const char*, std::size_t>;
  return failure->guard(1, [&, write = writer]() noexcept(nothrow) {
    if constexpr (std::is_void_v<std::invoke_result_t<W&, const char*, std::size_t>>) {
      (*write)(data, size);
      return 0;
    } else {
      return (*write)(data, size) ? 0 : 1;
    }
  });
}

}  // namespace detail

/// A column's type, title and settings, such as `column_spec(type::uint64, "Size").summarize()`,
/// which the library checks when table::add_column() declares it; others keep the defaults.
class column_spec {
 public:
  /// A column of type t; implicit, for {type, "Title"}. The title is copied.
  column_spec(type t, std::string_view title = {})  // NOLINT(google-explicit-*)
      : type_(t), title_(title) {}
  /// The title from f(unsigned width) at print time: a text, or a C string f keeps; shared.
  template <class F, class = std::enable_if_t<detail::is_title_callable<std::decay_t<F>>>>
  column_spec& title_func(F&& f) {
    using callable = std::decay_t<F>;
    title_func_.callable = std::make_shared<callable>(std::forward<F>(f));
    title_func_.call = &detail::title_of<callable>;
    return *this;
  }
  /// Justification of the title.
  column_spec& title_just(just j) noexcept { return set(title_just_, static_cast<unsigned>(j)); }
  /// Justification of the cells and the sum.
  column_spec& cell_just(just j) noexcept { return set(cell_just_, static_cast<unsigned>(j)); }
  /// Smallest width.
  column_spec& min_width(int width) noexcept { return set(min_width_, width); }
  /// String columns only: no line wider than width (0: no limit).
  column_spec& max_width(unsigned width, overflow o = overflow::cut) noexcept {
    return max_width_.emplace(width, static_cast<int>(o)), *this;
  }
  /// Sums a number column in the summary line.
  column_spec& summarize(bool on = true) noexcept { return set(summarize_, int{on}); }
  /// Letter case of hex digits.
  column_spec& hex_case(tabulix::hex_case c) noexcept {
    return set(hex_case_, static_cast<unsigned>(c));
  }
  /// Zero-fills hex numbers to the column width.
  column_spec& leading_zeros(bool on = true) noexcept { return set(leading_zeros_, int{on}); }
  /// Text after every number and sum; copied.
  column_spec& suffix(std::string_view text) {
    return suffix_.assign(text), has_suffix_ = true, *this;
  }
  /// Sorts a string column by length first.
  column_spec& sort_by_length(bool on = true) noexcept {
    return set(sort_mode_, on ? TBLX_SORTMODE_BY_LENGTH : 0);
  }
  /// Alignment character of just::char_first and just::char_last.
  column_spec& justify_char(char c) noexcept {
    return set(justify_char_, int{static_cast<unsigned char>(c)});
  }
  /// Decimals of a float64 column: 0 to 17, or -1 for the shortest text.
  column_spec& precision(int digits) noexcept { return set(precision_, digits); }
  /// Separator of digit groups: ',', '.', '\'', '_' or ' '; 0 for none.
  column_spec& grouping(char separator) noexcept { return set(grouping_, separator); }

 private:
  friend class table;

  template <class T>
  column_spec& set(std::optional<T>& field, T value) noexcept {
    return field = value, *this;
  }
  // Applies the settings to the library's open column, up to the first refused one; the library
  // keeps pointers to the title, suffix and title callable. `right`: a number column's C++ default.
  tblx_status apply(tblx_table* t, bool right) noexcept {
    tblx_status rc = TBLX_OK;
    const auto put = [&](auto setter, bool given, auto... value) {
      if (rc == TBLX_OK && given) rc = setter(t, value...);
    };
    const std::pair<unsigned, int> limit = max_width_.value_or(std::pair<unsigned, int>());
    put(&tblx_setcolumn_title, !title_.empty(), title_.c_str());
    put(&tblx_setcolumn_titlefunc, title_func_.callable != nullptr, title_func_.call, &title_func_);
    put(&tblx_setcolumn_titlejust, right || title_just_, title_just_.value_or(TBLX_JUST_RIGHT));
    put(&tblx_setcolumn_celljust, right || cell_just_, cell_just_.value_or(TBLX_JUST_RIGHT));
    put(&tblx_setcolumn_minwidth, min_width_.has_value(), min_width_.value_or(0));
    put(&tblx_setcolumn_summarize, summarize_.has_value(), summarize_.value_or(0));
    put(&tblx_setcolumn_hexcase, hex_case_.has_value(), hex_case_.value_or(0));
    put(&tblx_setcolumn_leadingzero, leading_zeros_.has_value(), leading_zeros_.value_or(0));
    put(&tblx_setcolumn_suffix, has_suffix_, suffix_.c_str());
    put(&tblx_setcolumn_sortmode, sort_mode_.has_value(), sort_mode_.value_or(0));
    put(&tblx_setcolumn_justchar, justify_char_.has_value(), justify_char_.value_or(0));
    put(&tblx_setcolumn_maxwidth, max_width_.has_value(), limit.first, limit.second);
    put(&tblx_setcolumn_precision, precision_.has_value(), precision_.value_or(0));
    put(&tblx_setcolumn_grouping, grouping_.has_value(), grouping_.value_or('\0'));
    return rc;
  }
  type type_;
  std::string title_;
  detail::title_source title_func_;
  std::string suffix_;  // not a std::optional: g++ 12 warns of its emplace, wrongly
  bool has_suffix_ = false;
  std::optional<unsigned> title_just_, cell_just_, hex_case_;
  std::optional<int> min_width_, summarize_, leading_zeros_, sort_mode_, justify_char_, precision_;
  std::optional<char> grouping_;
  std::optional<std::pair<unsigned, int>> max_width_;  // the width and the overflow
};

namespace detail {
// Everything a table keeps beside its C handle, on the heap so that the pointers handed to the
// library stay valid however the table object moves.
struct table_state {
  table_state(tblx_table* t, bool c) noexcept : handle(t), c_defaults(c) {}
  tblx_table* handle;       // deleted by the table
  bool c_defaults;          // the C library's defaults (table::c_defaults)
  bool printing = false;    // a title callable or writer may be running
  std::vector<type> kinds;  // column types, for converting values without a walk of the columns
  std::forward_list<column_spec> columns;  // the declarations, whose texts the library points to
  std::size_t row_cells = SIZE_MAX;        // cells of the row open through begin_row, or SIZE_MAX
  outcome failure;                         // the first exception of a callable in this print
  std::string scratch;                     // a NUL-terminated copy of a text passed as a view
};
}  // namespace detail

/// A column of a table for table::sort() and table::set_sum_text(), or a bare column ID.
class column {
 public:
  /// The column with this ID (the first is 1; 0 is none) in whichever table it is used with.
  column(std::int32_t id = 0) noexcept : id_(id) {}  // NOLINT(google-explicit-*)
  /// The column's ID.
  [[nodiscard]] std::int32_t id() const noexcept { return id_; }

 private:
  friend class table;
  column(const detail::table_state* owner, std::int32_t id) noexcept : owner_(owner), id_(id) {}
  const detail::table_state* owner_ = nullptr;  // the table it came from; null for a bare ID
  std::int32_t id_ = 0;
};

/// A table: columns declared first, then rows, printed as aligned text or in another format.
class table {
 public:
  /// A new, empty table with the C++ defaults.
  explicit table(std::error_code& ec) noexcept : table(false, ec) {}
  /// A new table with these columns declared (see add_columns()).
  table(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept
      : table(false, ec) {
    if (!ec) add_columns(columns, ec);
  }
  /// A new table with the C library's defaults: it prints what the C calls print.
  static table c_defaults(std::error_code& ec) noexcept { return {true, ec}; }
#if TABULIX_EXCEPTIONS
  ///@{
  /// The throwing forms of the above.
  table(std::initializer_list<column_spec> columns = {}) : table(false) { add_columns(columns); }
  static table c_defaults() { return table(true); }
  ///@}
#endif
  table(const table&) = delete;
  table& operator=(const table&) = delete;
  /// Takes other's table; a table being printed stays where it is.
  table(table&& other) noexcept {
    if (!other.printing()) state_ = std::move(other.state_);
  }
  /// Takes other's table, unless either is being printed.
  table& operator=(table&& other) noexcept {
    if (this == &other || printing() || other.printing()) return *this;
    const table old(std::move(*this));
    state_ = std::move(other.state_);
    return *this;
  }
  ~table() {
    if (state_ != nullptr) tblx_delete(state_->handle);
  }
  /// The C handle, for other calls; add_row() and add_cell() miss columns and rows made there.
  [[nodiscard]] tblx_table* get() const noexcept {
    return state_ != nullptr ? state_->handle : nullptr;
  }
  /// Whether the table holds a C table (false once moved from).
  explicit operator bool() const noexcept { return state_ != nullptr; }

  /// Declares a column; a refused setting stops those after it (in column_spec's order).
  column add_column(const column_spec& decl, std::error_code& ec) noexcept {
    if (!valid(ec)) return {};
    detail::table_state& s = *state_;
    if (detail::has_nul(decl.title_) || (decl.has_suffix_ && detail::has_nul(decl.suffix_))) {
      return detail::set(ec, errc::invalid_argument), column{};
    }
    // The table's copy of the declaration comes first, so that running out of memory leaves no
    // column behind; the library points to its texts and callable.
    const bool copied = detail::allocates([&] {
      if (s.kinds.size() == s.kinds.capacity()) s.kinds.reserve(2 * s.kinds.size() + 4);
      s.columns.push_front(decl);
    });
    if (!copied) return detail::set(ec, errc::no_memory), column{};
    column_spec& kept = s.columns.front();
    kept.title_func_.failure = &s.failure;
    std::int32_t id = 0;
    const auto kind = static_cast<unsigned>(decl.type_);
    if (detail::fail(tblx_begincolumn_columnid(s.handle, kind, &id), ec)) {
      s.columns.pop_front();
      return {};
    }
    s.kinds.push_back(decl.type_);  // reserved: cannot fail
    detail::fail(kept.apply(s.handle, !s.c_defaults && decl.type_ != type::string), ec);
    tblx_endcolumn(s.handle);
    return {&s, id};
  }
  /// Declares the columns in order, up to the first refusal; the header stays open.
  void add_columns(std::initializer_list<column_spec> columns, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    for (const column_spec& decl : columns) {
      if (add_column(decl, ec); ec) return;
    }
  }
  /// Ends the header.
  void end_header(std::error_code& ec) noexcept { call(ec, &tblx_endheader); }
  /// The ID of the column at a 0-based position once the header is ended; 0 for none.
  [[nodiscard]] std::int32_t column_id(std::size_t position) const noexcept {
    std::int32_t id = 0;
    if (state_ == nullptr || position >= state_->kinds.size()) return 0;
    return tblx_getcolumnid(state_->handle, static_cast<std::uint32_t>(position), &id) ? 0 : id;
  }

  /// Adds a row of values in column order; the first ends the header. Integers go into number
  /// columns their value fits, texts into string columns, tabulix::hex{} into hex columns, floats
  /// into float64 columns, tabulix::empty and empty std::optionals anywhere. A trailing
  /// std::error_code& selects the noexcept form. A refused or failed row changes nothing.
  template <class... Args>
  void add_row(Args&&... args) noexcept(detail::ends_with_error_code<Args...>) {
    if constexpr (detail::ends_with_error_code<Args...>) {
      const auto all = std::forward_as_tuple(args...);
      constexpr std::size_t values = sizeof...(Args) - 1;
      add_row_to(std::get<values>(all), all, std::make_index_sequence<values>());
    } else {
#if TABULIX_EXCEPTIONS
      detail::or_throw([&](std::error_code& ec) { add_row(args..., ec); });
#else
      static_assert(detail::always_false<Args...>,
                    "tabulix: without exceptions, add_row needs a std::error_code& last");
#endif
    }
  }

  /// Opens a row to be filled by add_cell(); does not end the header.
  void begin_row(std::error_code& ec) noexcept {
    if (call(ec, &tblx_beginrow)) state_->row_cells = 0;
  }
  /// Adds a cell to the open row, in the next column, converted as add_row() converts.
  template <class T>
  void add_cell(const T& value, std::error_code& ec) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    if (s.row_cells >= s.kinds.size()) return detail::set(ec, errc::no_more_columns);
    if (!detail::fail(detail::put(s.handle, s.kinds[s.row_cells], value, s.scratch), ec)) {
      ++s.row_cells;
    }
  }
  /// Ends the open row.
  void end_row(std::error_code& ec) noexcept {
    if (call(ec, &tblx_endrow)) state_->row_cells = SIZE_MAX;
  }
  /// Drops the open row and its cells.
  void cancel_row(std::error_code& ec) noexcept {
    if (call(ec, &tblx_cancelrow)) state_->row_cells = SIZE_MAX;
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
  /// Drops columns and rows and reopens the header; keeps the table's settings.
  void clean(std::error_code& ec) noexcept {
    if (remove_rows(ec), ec) return;
    tblx_clean(state_->handle);
    state_->kinds.clear();
    state_->columns.clear();  // no column refers to these any more
  }

  /// The style of the text format.
  void set_style(style s, std::error_code& ec) noexcept { call(ec, &tblx_setstyle, s); }
  /// The output format of the prints.
  void set_format(format f, std::error_code& ec) noexcept { call(ec, &tblx_setformat, f); }
  /// What every width of the table counts.
  void set_width_mode(width w, std::error_code& ec) noexcept { call(ec, &tblx_setwidthmode, w); }
  /// Whether every title counts in its column's width (in C, only one aligned on a character).
  void set_measure_titles(bool on, std::error_code& ec) noexcept {
    call(ec, &tblx_setmeasuretitles, on);
  }
  /// Whether line feeds in texts start new lines inside their fields.
  void set_multiline(bool on, std::error_code& ec) noexcept { call(ec, &tblx_setmultiline, on); }
  /// The width to fit, 0 for none: text columns narrow, and columns that still do not are left out.
  void set_max_width(unsigned width, std::error_code& ec) noexcept {
    call(ec, &tblx_setmaxwidth, width);
  }
  /// What the summary line shows for unsummed columns in a style (fancy and fancyw share one).
  void set_sum_filler(style s, char c, std::error_code& ec) noexcept {
    call(ec, &tblx_setsumreplace, s, static_cast<unsigned char>(c));
  }
  /// The summary line's text in a column instead of its sum or filler; copied. After the header.
  void set_sum_text(const column& c, std::string_view text, std::error_code& ec) noexcept {
    if (!owns(c, ec)) return;
    if (detail::has_nul(text)) return detail::set(ec, errc::invalid_argument);
    if (!detail::allocates([&] { state_->scratch.assign(text); })) {
      return detail::set(ec, errc::no_memory);
    }
    call(ec, &tblx_setsumtext, c.id(), state_->scratch.c_str());
  }
  /// Sorts the rows stably by a column of this table.
  void sort(const column& by, order o, std::error_code& ec) noexcept {
    if (owns(by, ec)) call(ec, &tblx_sort, o, by.id());
  }

  /// Prints to a std::FILE* or a writer w(const char* data, std::size_t size) that gives nothing
  /// or false to refuse the bytes; errc::output_error when either fails, after part of the table.
  template <class Out, class = std::enable_if_t<detail::is_output<Out>>>
  void print(Out&& out, section s, std::error_code& ec) noexcept {
    print_with(out, s, false, ec, false);
  }
  /// Prints and frees the rows added since the last flush in the layout the first one froze, as
  /// tblx_flushrows() does; sort() is refused until remove_rows() or clean().
  template <class Out, class = std::enable_if_t<detail::is_output<Out>>>
  void flush_rows(Out&& out, section s, std::error_code& ec) noexcept {
    print_with(out, s, true, ec, false);
  }
  /// The printed sections as a string; "" on failure.
  [[nodiscard]] std::string to_string(section s, std::error_code& ec) noexcept {
    return print_into(s, ec, false);
  }
  /// Writes into the stream's buffer; failbit on failure, badbit when the stream refused bytes.
  friend std::ostream& operator<<(std::ostream& os, table& t) {
    const std::ostream::sentry ready(os);
    if (!ready) return os;
    auto sink = [buffer = os.rdbuf()](const char* data, std::size_t size) {
      const auto n = static_cast<std::streamsize>(size);
      return buffer->sputn(data, n) == n;
    };
    std::error_code ec;
    t.print_with(sink, section::all, false, ec, false);
    if (ec) os.setstate(ec == std::errc::io_error ? std::ios_base::badbit : std::ios_base::failbit);
    return os;
  }
  /// operator<< of a temporary table.
  friend std::ostream& operator<<(std::ostream& os, table&& t) { return os << t; }

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
  TABULIX_OR_THROW_((void set_format(format f)), set_format(f, ec))
  TABULIX_OR_THROW_((void set_width_mode(width w)), set_width_mode(w, ec))
  TABULIX_OR_THROW_((void set_measure_titles(bool on)), set_measure_titles(on, ec))
  TABULIX_OR_THROW_((void set_multiline(bool on)), set_multiline(on, ec))
  TABULIX_OR_THROW_((void set_max_width(unsigned width)), set_max_width(width, ec))
  TABULIX_OR_THROW_((void set_sum_filler(style s, char c)), set_sum_filler(s, c, ec))
  TABULIX_OR_THROW_((void set_sum_text(const column& c, std::string_view text)),
                    set_sum_text(c, text, ec))
  TABULIX_OR_THROW_((void sort(const column& by, order o)), sort(by, o, ec))
  TABULIX_OR_THROW_((template <class Out, class = std::enable_if_t<detail::is_output<Out>>>
                     void print(Out&& out, section s = section::all)),
                    print_with(out, s, false, ec, true))
  TABULIX_OR_THROW_((template <class Out, class = std::enable_if_t<detail::is_output<Out>>>
                     void flush_rows(Out&& out, section s = section::all)),
                    print_with(out, s, true, ec, true))
  TABULIX_OR_THROW_(([[nodiscard]] std::string to_string(section s = section::all)),
                    print_into(s, ec, true))

 private:
  // The state first, so that a C table is made only where it can be kept. It comes from plain
  // new where exceptions report its failure: a program that replaces operator new and delete
  // need not replace the nothrow form too.
  table(bool c_defaults, std::error_code& ec) noexcept {
#if TABULIX_EXCEPTIONS
    detail::allocates([&] { state_ = std::make_unique<detail::table_state>(nullptr, c_defaults); });
#else
    state_.reset(new (std::nothrow) detail::table_state(nullptr, c_defaults));  // NOLINT
#endif
    if (state_ != nullptr && (state_->handle = tblx_new()) == nullptr) state_.reset();
    if (state_ != nullptr && !c_defaults) tblx_setmeasuretitles(state_->handle, 1);
    detail::fail(state_ != nullptr ? TBLX_OK : TBLX_ERR_NO_MEMORY, ec);
  }
#if TABULIX_EXCEPTIONS
  explicit table(bool c_defaults) {
    detail::or_throw([&](std::error_code& ec) { *this = table(c_defaults, ec); });
  }
#endif
  [[nodiscard]] bool printing() const noexcept { return state_ != nullptr && state_->printing; }
  // A table that holds a C table and is not being printed.
  bool valid(std::error_code& ec) const noexcept {
    if (state_ != nullptr && state_->handle != nullptr && !state_->printing) return true;
    return detail::set(ec, errc::invalid_argument), false;
  }
  // valid(), and c a column of this table or a bare ID.
  bool owns(const column& c, std::error_code& ec) const noexcept {
    if (!valid(ec)) return false;
    if (c.owner_ == nullptr || c.owner_ == state_.get()) return true;
    return detail::set(ec, errc::no_such_column), false;
  }
  // Calls f(handle, args...), each argument converted to f's parameter type; whether it succeeded.
  template <class... Params, class... Args>
  bool call(std::error_code& ec, tblx_status(TBLX_CALL* f)(tblx_table*, Params...),
            Args... args) noexcept {
    return valid(ec) && !detail::fail(f(state_->handle, static_cast<Params>(args)...), ec);
  }

  // All values are checked first; a row the library fails midway (out of memory) is cancelled.
  template <class Values, std::size_t... I>
  void add_row_to(std::error_code& ec, const Values& values,
                  std::index_sequence<I...> /*indices*/) noexcept {
    if (!valid(ec)) return;
    detail::table_state& s = *state_;
    if (sizeof...(I) > s.kinds.size()) return detail::set(ec, errc::no_more_columns);
    const auto put_all = [&]([[maybe_unused]] tblx_table* t) {
      tblx_status rc = TBLX_OK;
      static_cast<void>(
          (((rc = detail::put(t, s.kinds[I], std::get<I>(values), s.scratch)) == TBLX_OK) && ...));
      return rc;
    };
    tblx_status rc = put_all(nullptr);
    if (rc == TBLX_OK && (rc = tblx_endheader(s.handle)) == TBLX_ERR_HEADER_ENDED) rc = TBLX_OK;
    if (rc == TBLX_OK && (rc = tblx_beginrow(s.handle)) == TBLX_OK) {
      if ((rc = put_all(s.handle)) == TBLX_OK) rc = tblx_endrow(s.handle);
      if (rc != TBLX_OK) tblx_cancelrow(s.handle);
    }
    detail::fail(rc, ec);
  }

  // One print, or flush, to a stream or through a writer; one from a title callable is refused.
  // The first exception of a callable in it is rethrown where `rethrow`, else given as its code.
  template <class Out>
  void print_with(Out& out, section s, bool flush, std::error_code& ec,
                  [[maybe_unused]] bool rethrow) {
    if (!valid(ec)) return;
    detail::table_state& st = *state_;
    // The summary line is left out where it shows nothing, in the C++ defaults.
    if (!st.c_defaults && tblx_hassummary(st.handle) == 0) s &= ~(section::sum_rule | section::sum);
    const auto sections = static_cast<unsigned>(s);
    st.failure = {};  // a print through get() may have left one
    st.printing = true;
    tblx_status rc = TBLX_OK;
    if constexpr (std::is_convertible_v<Out&, std::FILE*>) {
      rc = (flush ? &tblx_flushrows : &tblx_print)(st.handle, sections, out);
    } else {
      std::pair<Out*, detail::outcome*> target{&out, &st.failure};
      const tblx_writer write = &detail::write_to<Out>;
      rc = (flush ? &tblx_flushrows_to : &tblx_print_to)(st.handle, sections, write, &target);
    }
    st.printing = false;
    const detail::outcome failure = std::exchange(st.failure, {});
#if TABULIX_EXCEPTIONS
    if (rethrow && failure.exception) std::rethrow_exception(failure.exception);
#endif
    ec = failure.code;
    if (!failure.exception) detail::fail(rc, ec);
  }
  // Prints into a string, "" on failure; errc::no_memory when it could not grow (its writer's
  // only refusal).
  std::string print_into(section s, std::error_code& ec, bool rethrow) {
    std::string out;
    auto sink = [&out](const char* data, std::size_t size) noexcept {
      return detail::allocates([&] { out.append(data, size); });
    };
    print_with(sink, s, false, ec, rethrow);
    if (ec == errc::output_error) ec = errc::no_memory;
    if (ec) out.clear();
    return out;
  }

  std::unique_ptr<detail::table_state> state_;
};

}  // namespace tabulix

#undef TABULIX_OR_THROW_
#undef TABULIX_STRIP_
#undef TABULIX_VISIBLE_

#endif  // TABULIX_HPP
