// SPDX-License-Identifier: MIT
// The lines a field prints on: a text broken at line feeds (multi-line
// tables), cut with a mark or wrapped where it is wider than its column may
// be. Header-only and free of the table's records, so the tests drive it
// directly.
#ifndef TABULIX_LINES_H
#define TABULIX_LINES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "display_width.h"

// How the text of a field is broken into lines.
struct line_rules {
  bool split_newlines;  // a line feed starts a new line
  bool wrap;            // a line wider than cap goes on over more lines; else it is cut
  bool display;         // widths count terminal columns, else bytes
  uint64_t cap;         // the widest a line may be; 0: no limit
};

// The mark of a cut text and the sequence that ends the styles a cut or a
// wrapped line leaves open.
constexpr char cut_mark_display[] = "\xE2\x80\xA6";  // …
constexpr char cut_mark_bytes[] = "...";
constexpr char style_reset[] = "\x1B[0m";

// The styles (SGR sequences, ESC [ ... m) in force at a place of a text: the
// last few set since the last reset, which a wrapped line's next line writes
// again. Kept this way, wrapping a long styled text costs its length once.
struct style_list {
  static constexpr size_t most = 8;
  static constexpr size_t longest = 32;  // a longer sequence is not kept
  const char* at[most];
  uint8_t len[most];
  uint8_t count;

  void take(const char* sequence, size_t n) noexcept {
    const bool sgr = n >= 3 && sequence[1] == '[' && sequence[n - 1] == 'm';
    if (!sgr) return;
    if (n == 3 || (n == 4 && sequence[2] == '0')) {
      count = 0;  // ESC [ m and ESC [ 0 m end every style
      return;
    }
    if (n > longest) return;
    if (count == most) {
      for (size_t i = 1; i < most; ++i) {
        at[i - 1] = at[i];
        len[i - 1] = len[i];
      }
      --count;
    }
    at[count] = sequence;
    len[count] = static_cast<uint8_t>(n);
    ++count;
  }
};

// One printed line of a field: a piece of its text, written after the
// styles of `restyle` (those in force where an earlier line of the same text
// ended them) and followed by mark_len bytes of the cut mark and by
// style_reset when `reset` is set.
struct line_piece {
  const char* text;
  size_t len;
  style_list restyle;
  const char* mark;
  size_t mark_len;
  bool reset;
  uint64_t width;  // columns of the whole line, the mark included
};

// Where the next line of a text starts.
struct line_cursor {
  const char* at;        // the rest of the text
  const char* end;       // end of the text
  const char* line_end;  // end of its current line (between line feeds), null until found
  bool more;             // a line is still to come (an empty text has one)
  bool styled;           // the last line ended styles with style_reset
  style_list styles;     // the styles in force where the last line ended

  void start(const char* text, size_t len) noexcept {
    at = text;
    end = text + len;
    line_end = nullptr;
    more = true;
    styled = false;
    styles.count = 0;
  }
};

namespace line_detail {

// The smallest piece a line is never broken inside: one escape sequence,
// or one character (a byte that is not well-formed UTF-8 counts as one) with
// the variation selector that follows it, or the two regional indicators
// of a flag.
struct text_unit {
  size_t len;
  uint64_t width;
  bool escape;
};

inline bool is_selector_at(const unsigned char* p, const unsigned char* end) noexcept {
  return end - p >= 3 && p[0] == 0xEF && p[1] == 0xB8 && (p[2] == 0x8E || p[2] == 0x8F);
}

inline bool is_indicator_at(const unsigned char* p, const unsigned char* end) noexcept {
  return end - p >= 4 && p[0] == 0xF0 && p[1] == 0x9F && p[2] == 0x87 && p[3] >= 0xA6 &&
         p[3] <= 0xBF;
}

inline text_unit next_unit(const unsigned char* p, const unsigned char* end,
                           bool display) noexcept {
  using namespace display_width_detail;
  const auto room = static_cast<size_t>(end - p);
  if (*p == escape) {
    if (const size_t n = escape_length(p, room); n != 0) return {n, display ? 0u : n, true};
  }
  if (*p < 0x80) return {1, 1, false};
  const decoded d = decode_sequence(p, room);
  if (d.len == 0) return {1, 1, false};
  size_t n = d.len;
  if (is_selector_at(p + n, end)) {
    n += 3;
  } else if (is_indicator_at(p, end) && is_indicator_at(p + n, end)) {
    n += 4;
  }
  return {n, display ? display_width(reinterpret_cast<const char*>(p), n) : n, false};
}

inline uint64_t line_width(const char* text, size_t len, bool display) noexcept {
  return display ? display_width(text, len) : len;
}

// The longest start of [p, end) whose units fit `room` columns.
struct fitted_start {
  const char* stop;
  uint64_t width;
  bool escapes;  // it holds an escape sequence
};

inline fitted_start fit_start(const char* p, const char* end, uint64_t room,
                              bool display) noexcept {
  fitted_start f{p, 0, false};
  const auto* const stop = reinterpret_cast<const unsigned char*>(end);
  while (f.stop != end) {
    const text_unit u = next_unit(reinterpret_cast<const unsigned char*>(f.stop), stop, display);
    if (f.width + u.width > room) break;
    f.width += u.width;
    f.escapes = f.escapes || u.escape;
    f.stop += u.len;
  }
  return f;
}

// A line longer than the cap, cut to it: as much of the text as leaves room
// for the mark (in bytes mode as many dots as fit when the cap is under 3).
inline void cut_line(line_piece& piece, const char* line_end, const line_rules& rules) noexcept {
  const char* mark = rules.display ? cut_mark_display : cut_mark_bytes;
  const uint64_t mark_width = rules.display ? 1 : 3;
  const uint64_t shown_mark = mark_width < rules.cap ? mark_width : rules.cap;
  const fitted_start f = fit_start(piece.text, line_end, rules.cap - shown_mark, rules.display);
  piece.len = static_cast<size_t>(f.stop - piece.text);
  piece.mark = mark;
  piece.mark_len = rules.display ? sizeof cut_mark_display - 1 : static_cast<size_t>(shown_mark);
  piece.reset = rules.display && (piece.reset || f.escapes);
  piece.width = f.width + shown_mark;
}

// A line longer than the cap, wrapped: it breaks after the last blank that
// keeps it within the cap, the blanks dropped; a word longer than the cap
// breaks where the cap falls, after one unit at least. Gives where the next
// line starts.
inline const char* wrap_line(line_piece& piece, const char* line_end,
                             const line_rules& rules) noexcept {
  const auto* const stop = reinterpret_cast<const unsigned char*>(line_end);
  const char* p = piece.text;
  const char* blank_run = nullptr;  // where the blanks before the last break start
  const char* after_blanks = nullptr;
  uint64_t width = 0;
  uint64_t width_at_break = 0;
  bool escapes = false;
  bool escapes_at_break = false;
  while (p != line_end) {
    if (*p == ' ') {
      const char* run = p;
      while (p != line_end && *p == ' ') ++p;
      blank_run = run;
      after_blanks = p;
      width_at_break = width;
      escapes_at_break = escapes;
      width += static_cast<uint64_t>(p - run);
      continue;
    }
    const text_unit u = next_unit(reinterpret_cast<const unsigned char*>(p), stop, rules.display);
    if (width + u.width > rules.cap && (width != 0 || p != piece.text)) break;
    width += u.width;
    escapes = escapes || u.escape;
    p += u.len;
  }
  if (p == line_end) {
    // The rest fits but for blanks at its end.
    const char* last = line_end;
    while (last != piece.text && last[-1] == ' ') --last;
    piece.len = static_cast<size_t>(last - piece.text);
    piece.width = width - static_cast<uint64_t>(line_end - last);
    piece.reset = false;
    return line_end;
  }
  if (blank_run != nullptr && blank_run != piece.text) {
    piece.len = static_cast<size_t>(blank_run - piece.text);
    piece.width = width_at_break;
    piece.reset = rules.display && (piece.reset || escapes_at_break);
    return after_blanks;
  }
  piece.len = static_cast<size_t>(p - piece.text);
  piece.width = width;
  piece.reset = rules.display && (piece.reset || escapes);
  return p;
}

}  // namespace line_detail

// Takes the styles that the escape sequences of the len bytes at text set.
inline void remember_styles(style_list& styles, const char* text, size_t len) noexcept {
  using namespace display_width_detail;
  const char* p = text;
  const char* const end = text + len;
  while (p != end) {
    const void* found = std::memchr(p, escape, static_cast<size_t>(end - p));
    if (found == nullptr) return;
    p = static_cast<const char*>(found);
    const size_t n =
        escape_length(reinterpret_cast<const unsigned char*>(p), static_cast<size_t>(end - p));
    if (n != 0) styles.take(p, n);
    p += n == 0 ? 1 : n;
  }
}

// The next line of the text at the cursor; the cursor moves past it. Call
// only while cursor.more is set.
inline line_piece next_line(line_cursor& c, const line_rules& rules) noexcept {
  using namespace line_detail;
  line_piece piece{};
  piece.text = c.at;
  if (c.styled) {
    piece.restyle = c.styles;
    piece.reset = true;  // a wrapped line that breaks again ends its styles again
  }
  if (c.line_end == nullptr) {
    c.line_end = c.end;
    if (rules.split_newlines) {
      if (const void* feed = std::memchr(c.at, '\n', static_cast<size_t>(c.end - c.at))) {
        c.line_end = static_cast<const char*>(feed);
      }
    }
  }
  const char* const line_end = c.line_end;
  // A wrapped line is measured only as far as it goes: the rest of a long
  // text is not measured again for each of its lines.
  const auto whole = static_cast<size_t>(line_end - c.at);
  const uint64_t width = rules.cap == 0 || whole <= rules.cap || !rules.wrap
                             ? line_width(c.at, whole, rules.display)
                             : rules.cap + 1;
  const char* next = line_end;
  if (width <= rules.cap || rules.cap == 0) {
    piece.len = whole;
    piece.width = width;
    piece.reset = false;
  } else if (rules.wrap) {
    next = wrap_line(piece, line_end, rules);
  } else {
    cut_line(piece, line_end, rules);
  }
  c.styled = next != line_end && piece.reset;
  if (c.styled) remember_styles(c.styles, piece.text, piece.len);
  if (next == line_end) {
    c.more = line_end != c.end;
    c.at = c.more ? line_end + 1 : c.end;
    c.line_end = nullptr;
    c.styled = false;
    c.styles.count = 0;
  } else {
    c.at = next;
  }
  return piece;
}

// Writes a line whole: its restored styles, its text, its mark and reset.
template <typename Writer>
void put_line(Writer& out, const line_piece& piece) noexcept {
  for (size_t i = 0; i < piece.restyle.count; ++i)
    out.put(piece.restyle.at[i], piece.restyle.len[i]);
  out.put(piece.text, piece.len);
  if (piece.mark_len != 0) out.put(piece.mark, piece.mark_len);
  if (piece.reset) out.put(style_reset, sizeof style_reset - 1);
}

#endif  // TABULIX_LINES_H
