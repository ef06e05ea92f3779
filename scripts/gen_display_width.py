#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes src/display_width_table.h: the terminal width of every code point.

Reads the Unicode Character Database as Debian's unicode-data package installs
it (/usr/share/unicode, or the directory given as the first argument) and
writes the table to standard output:

    python3 scripts/gen_display_width.py > src/display_width_table.h

The width of a code point, in this order:
  0  Hangul vowel and trailing jamo (Hangul_Syllable_Type V, T), which a
     terminal draws inside the syllable block of the leading jamo before them;
  2  Hangul leading jamo (Hangul_Syllable_Type L, the choseong filler too):
     each starts a syllable block two columns wide;
  0  nonspacing and enclosing marks (General_Category Mn, Me) and the
     default-ignorable code points (ZERO WIDTH JOINER and NON-JOINER,
     variation selectors, format controls, tags, ...);
  2  East_Asian_Width W or F, and Emoji_Presentation=Yes;
  1  everything else: controls, ambiguous and unassigned code points included.

The table has two stages: the code point's high bits pick a block of
BLOCK code points, and equal blocks are stored once, four widths to a byte.

It also lists, in order, the characters that emoji/emoji-variation-sequences.txt
gives an emoji and a text presentation sequence (the character followed by
U+FE0F or U+FE0E): display_width.h counts such a pair 2 or 1 columns.
"""
import os
import sys

BLOCK = 256  # code points per block: the smallest table (11 KB) of the powers of two
LAST = 0x10FFFF


def ranges(path, want):
    """Yields (first, last, value) of the data lines whose value `want` accepts."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = [x.strip() for x in line.split(";")]
            value = fields[1]
            if not want(value):
                continue
            first, _, last = fields[0].partition("..")
            yield int(first, 16), int(last or first, 16), value


def general_categories(ucd):
    """Mn and Me code points from UnicodeData.txt (ranges given as First/Last pairs)."""
    marks = set()
    start = None
    with open(os.path.join(ucd, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.split(";")
            cp, name, category = int(fields[0], 16), fields[1], fields[2]
            if name.endswith(", First>"):
                start = cp
                continue
            first = start if name.endswith(", Last>") else cp
            start = None
            if category in ("Mn", "Me"):
                marks.update(range(first, cp + 1))
    return marks


def widths(ucd):
    width = [1] * (LAST + 1)
    # East Asian Width: the file's defaults for unassigned code points, then its lines.
    for first, last in ((0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                        (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)):
        for cp in range(first, last + 1):
            width[cp] = 2
    for first, last, value in ranges(os.path.join(ucd, "EastAsianWidth.txt"), lambda v: True):
        for cp in range(first, last + 1):
            width[cp] = 2 if value in ("W", "F") else 1
    emoji = os.path.join(ucd, "emoji", "emoji-data.txt")
    for first, last, _ in ranges(emoji, lambda v: v == "Emoji_Presentation"):
        for cp in range(first, last + 1):
            width[cp] = 2
    zero = general_categories(ucd)
    core = os.path.join(ucd, "DerivedCoreProperties.txt")
    for first, last, _ in ranges(core, lambda v: v == "Default_Ignorable_Code_Point"):
        zero.update(range(first, last + 1))
    for cp in zero:
        width[cp] = 0
    hangul = os.path.join(ucd, "HangulSyllableType.txt")
    for first, last, value in ranges(hangul, lambda v: v in ("L", "V", "T")):
        for cp in range(first, last + 1):
            width[cp] = 2 if value == "L" else 0
    return width


def variation_bases(ucd):
    """The characters listed with U+FE0F as an emoji presentation sequence."""
    bases = set()
    path = os.path.join(ucd, "emoji", "emoji-variation-sequences.txt")
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            sequence = line.split(";")[0].split()
            if len(sequence) == 2 and sequence[1] == "FE0F":
                bases.add(int(sequence[0], 16))
    if not bases:
        sys.exit(f"no emoji presentation sequences in {path}")
    return sorted(bases)


def utf8_length(cp):
    return 1 if cp < 0x80 else 2 if cp < 0x800 else 3 if cp < 0x10000 else 4


def check(width):
    # The library sizes buffers in bytes and widths in columns: a code point
    # may never take more columns than it has bytes.
    for cp, w in enumerate(width):
        if w > utf8_length(cp):
            sys.exit(f"U+{cp:04X} would be wider ({w}) than its UTF-8 bytes")
    for cp in range(0x20, 0x7F):
        if width[cp] != 1:
            sys.exit(f"printable ASCII U+{cp:04X} must be 1 column wide")


def pack(width, block):
    """Stage 1 (block index per block) and stage 2 (unique blocks, 2 bits a code point)."""
    index, blocks, seen = [], [], {}
    for start in range(0, LAST + 1, block):
        chunk = bytearray()
        for i in range(start, start + block, 4):
            chunk.append(width[i] | width[i + 1] << 2 | width[i + 2] << 4 | width[i + 3] << 6)
        key = bytes(chunk)
        if key not in seen:
            seen[key] = len(blocks)
            blocks.append(key)
        index.append(seen[key])
    return index, blocks


def rows(values, per_line=16):
    return "\n".join("    " + " ".join(f"{v}," for v in values[i:i + per_line])
                     for i in range(0, len(values), per_line))


def version(ucd):
    with open(os.path.join(ucd, "EastAsianWidth.txt"), encoding="utf-8") as f:
        first = f.readline()  # "# EastAsianWidth-15.0.0.txt"
    return first.split("-", 1)[1].rsplit(".txt", 1)[0]


def main():
    ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    width = widths(ucd)
    check(width)
    index, blocks = pack(width, BLOCK)
    if len(blocks) > 256:
        sys.exit("more than 256 distinct blocks: the index would not fit a byte")
    block_bytes = BLOCK // 4
    bases = variation_bases(ucd)
    print(f"""// SPDX-License-Identifier: MIT
// The terminal width of every code point, Unicode {version(ucd)}. Generated by
// scripts/gen_display_width.py from the Unicode Character Database; do not edit.
#ifndef TABULIX_DISPLAY_WIDTH_TABLE_H
#define TABULIX_DISPLAY_WIDTH_TABLE_H

#include <cstdint>

// clang-format off
namespace display_width_table {{

constexpr unsigned block_shift = {BLOCK.bit_length() - 1};  // {BLOCK} code points a block
constexpr unsigned block_bytes = {block_bytes};  // four 2-bit widths a byte

// For each block of code points, the index of its widths in `blocks`.
constexpr uint8_t block_index[{len(index)}] = {{
{rows(index, 18)}
}};

// The widths of the distinct blocks; code point i of a block is at bits
// 2 * (i % 4) of byte i / 4.
constexpr uint8_t blocks[{len(blocks)}][block_bytes] = {{""")
    for b in blocks:
        print("  {")
        print(rows(list(b)))
        print("  },")
    print(f"""}};

// The characters with an emoji presentation sequence (the character, then
// U+FE0F) and a text one (then U+FE0E), in order.
constexpr uint32_t variation_bases[{len(bases)}] = {{
{rows([f"0x{b:X}" for b in bases], 10)}
}};

}}  // namespace display_width_table
// clang-format on

#endif  // TABULIX_DISPLAY_WIDTH_TABLE_H""")


if __name__ == "__main__":
    main()
