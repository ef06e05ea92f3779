// SPDX-License-Identifier: MIT
#include "text.hpp"

#include <cstdint>
#include <cstring>

#include "display_width.h"

namespace tabulix::cli {

namespace {

bool needs_escape(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Whether p starts a C1 control character (U+0080 to U+009F, C2 80 to C2 9F
// in UTF-8), which a terminal may act on like C0: U+009B starts a command.
// Reads p[1] only after a lead byte, which valid UTF-8 follows with another.
bool is_c1(const char* p) {
  return static_cast<unsigned char>(p[0]) == 0xC2 && static_cast<unsigned char>(p[1]) >= 0x80 &&
         static_cast<unsigned char>(p[1]) <= 0x9F;
}

// Bytes of the UTF-8 sequence that starts with `lead` (valid input).
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

constexpr std::string_view ellipsis = "\xE2\x80\xA6";  // …

// The width of one character.
std::size_t char_width(std::string_view ch, width_unit unit) {
  if (unit == width_unit::bytes) return ch.size();
  return display_width(ch.data(), ch.size());
}

// Bytes of the character at `at` and of what a terminal draws with it: a
// following U+FE0E or U+FE0F, or the second regional indicator of a flag.
// A cut never falls between them.
std::size_t joined_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) -> unsigned char {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
  };
  std::size_t n = std::min(sequence_length(byte(at)), text.size() - at);
  const std::size_t next = at + n;
  const auto indicator = [&](std::size_t i) {
    return byte(i) == 0xF0 && byte(i + 1) == 0x9F && byte(i + 2) == 0x87 && byte(i + 3) >= 0xA6 &&
           byte(i + 3) <= 0xBF;
  };
  if (byte(next) == 0xEF && byte(next + 1) == 0xB8 && (byte(next + 2) & 0xFE) == 0x8E) {
    n += 3;
  } else if (n == 4 && indicator(at) && indicator(next)) {
    n += 4;
  }
  return n;
}

std::size_t escaped_length(unsigned char c) { return c == '\n' || c == '\r' || c == '\t' ? 2 : 4; }

// Whether all bytes are printable ASCII (0x20 to 0x7E), eight at a time.
bool printable_ascii(std::string_view text) {
  constexpr std::uint64_t ones = 0x0101010101010101U;
  constexpr std::uint64_t highs = 0x8080808080808080U;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, text.data() + i, 8);
    // High bits of bytes below 0x20, of 0x7F (which +1 takes to 0x80) and of
    // bytes from 0x80.
    const std::uint64_t low = (w - 0x20 * ones) & ~w;
    const std::uint64_t del = ((w ^ (0x7F * ones)) - ones) & ~(w ^ (0x7F * ones));
    if (((low | del | w) & highs) != 0) return false;
  }
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace

text_look look_at(std::string_view text, bool measure, width_unit unit) {
  text_look look;
  look.size = text.size();
  if (printable_ascii(text)) {
    look.width = text.size();
    return look;
  }
  bool plain = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (needs_escape(c)) {
      look.escape = true;
      look.size += escaped_length(c) - 1;
    } else if (c >= 0x80) {
      plain = false;
      if (i + 1 < text.size() && is_c1(text.data() + i)) {
        look.escape = true;
        look.size += 2;  // \xHH for two bytes
        ++i;
      }
    }
  }
  if (!measure) return look;
  if (plain && !look.escape) {
    look.width = text.size();
    return look;
  }
  std::string buffer;
  const std::string copy(text);
  look.width = shown_width(printable(copy.c_str(), buffer), unit);
  return look;
}

const char* printable(const char* text, std::string& buffer, bool keep_line_breaks) {
  const char* p = text;
  while (*p != '\0' && !needs_escape(static_cast<unsigned char>(*p)) && !is_c1(p)) ++p;
  if (*p == '\0') return text;

  static constexpr char digits[] = "0123456789abcdef";
  buffer.assign(text, p);
  for (; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (is_c1(p)) {
      const auto code = static_cast<unsigned char>(*++p);  // the code point is the second byte
      buffer += "\\x";
      buffer += digits[code >> 4];
      buffer += digits[code & 0xF];
    } else if (!needs_escape(c)) {
      buffer += *p;
    } else if (c == '\n' && keep_line_breaks) {
      buffer += '\n';
    } else if (c == '\r' && keep_line_breaks && p[1] == '\n') {
      continue;  // a line break of two bytes is one
    } else if (c == '\n') {
      buffer += "\\n";
    } else if (c == '\r') {
      buffer += "\\r";
    } else if (c == '\t') {
      buffer += "\\t";
    } else {
      buffer += "\\x";
      buffer += digits[c >> 4];
      buffer += digits[c & 0xF];
    }
  }
  return buffer.c_str();
}

std::size_t shown_width(std::string_view text, width_unit unit) {
  // Runs of characters shown as they are count whole, so that the pairs a
  // terminal joins (a character and U+FE0F, a flag) count as it draws them.
  std::size_t width = 0;
  std::size_t run = 0;  // where the current run of shown characters starts
  const auto end_run = [&](std::size_t at) {
    if (at > run)
      width += unit == width_unit::bytes ? at - run : display_width(text.data() + run, at - run);
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (needs_escape(c)) {
      end_run(i);
      width += escaped_length(c);
      run = ++i;
      continue;
    }
    if (i + 1 < text.size() && is_c1(text.data() + i)) {
      end_run(i);
      width += 4;  // \xHH
      i += 2;
      run = i;
      continue;
    }
    i += std::min(sequence_length(c), text.size() - i);
  }
  end_run(text.size());
  return width;
}

std::string_view cut_to_width(std::string_view text, std::size_t width, width_unit unit,
                              std::string& buffer) {
  // A text is never wider than its bytes.
  if (text.size() <= width || shown_width(text, unit) <= width) return text;
  const std::size_t mark = char_width(ellipsis, unit);
  const std::size_t room = width > mark ? width - mark : 0;
  std::size_t used = 0;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t n = joined_length(text, end);
    const std::size_t w = char_width(text.substr(end, n), unit);
    if (used + w > room) break;
    used += w;
    end += n;
  }
  buffer.assign(text.substr(0, end));
  buffer += ellipsis;
  return buffer;
}

std::size_t offset_at_width(std::string_view text, std::size_t width, width_unit unit) {
  std::size_t used = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = joined_length(text, at);
    const std::size_t w = char_width(text.substr(at, n), unit);
    // Marks that take no room belong to the character before them.
    if (used == width && w > 0) return at;
    used += w;
    if (used > width) break;
    at += n;
  }
  return std::string_view::npos;
}

std::string_view group_digits(std::string_view number, char separator, std::string& buffer) {
  std::size_t start = number.empty() || (number[0] != '-' && number[0] != '+') ? 0 : 1;
  const bool hex = number.size() >= start + 2 && number[start] == '0' &&
                   (number[start + 1] == 'x' || number[start + 1] == 'X');
  if (hex) start += 2;
  const auto is_digit = [hex](char ch) {
    return (ch >= '0' && ch <= '9') ||
           (hex && ((ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F')));
  };
  std::size_t end = start;
  while (end < number.size() && is_digit(number[end])) ++end;
  const std::size_t every = hex ? 4 : 3;
  if (end - start <= every) return number;
  buffer.assign(number.substr(0, start));
  for (std::size_t i = start; i < end; ++i) {
    if (i != start && (end - i) % every == 0) buffer += separator;
    buffer += number[i];
  }
  buffer.append(number.substr(end));
  return buffer;
}

}  // namespace tabulix::cli
