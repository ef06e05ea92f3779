#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed inputs of the print fuzz target into fuzz/corpus/.

Each seed is a readable list of calls encoded the way print_fuzzer.cpp decodes
its input, so the fuzzer starts from tables that have every kind of column,
short rows, aligned titles and sorts instead of having to find them. Rerun
after changing the decoder: python3 fuzz/make_seeds.py
"""
import pathlib
import struct

TABLE = b"\x01"  # the status calls' first byte: call on the table, not on null
NULL_TABLE = b"\x00"


def text_arg(s):
    """A text_or_null() argument."""
    if s is None:
        return b"\x00"
    data = s.encode("latin-1") if isinstance(s, str) else s
    if len(data) == 0:
        return b"\x10"
    if len(data) < 32:
        return b"\x20" + bytes([len(data)]) + data
    if len(data) < 64:
        return b"\x20" + bytes([0x20 | (len(data) - 32)]) + data
    assert (len(data) - 1000) % 4 == 0 and 1000 <= len(data) < 2024
    return b"\x20" + bytes([0xC0, (len(data) - 1000) // 4]) + data


def number(v):
    return b"\x80" + struct.pack(">Q", v & (2**64 - 1))


def begincolumn(t):
    return b"\x00" + TABLE + bytes([t])


def begincolumn_id(t):
    return b"\x01" + b"\x40" + TABLE + bytes([t])


endcolumn = b"\x02" + TABLE


def title(s):
    return b"\x03" + text_arg(s) + TABLE


def titlefunc(kind, arg=None):  # kind: 0 null func, 1 gives NULL, 2 fixed text, 3 by width
    return b"\x04" + bytes([kind]) + text_arg(arg) + TABLE


def titlejust(j):
    return b"\x05" + TABLE + bytes([j])


def celljust(j):
    return b"\x06" + TABLE + bytes([j])


def minwidth(w):
    assert 0 <= w < 5000
    return b"\x07" + b"\x80" + struct.pack(">H", w) + TABLE


def summarize(flag=1):
    return b"\x08" + TABLE + number(flag)


def hexcase(c):
    return b"\x09" + TABLE + bytes([c])


def leadingzero(flag=1):
    return b"\x0a" + TABLE + number(flag)


def suffix(s):
    return b"\x0b" + text_arg(s) + TABLE


def sortmode(m):
    return b"\x0c" + TABLE + number(m)


def justchar(c):
    return b"\x0d" + TABLE + number(ord(c))


endheader = b"\x0e" + TABLE


def getcolumnid(position):
    return b"\x0f" + b"\x40" + bytes([position + 1]) + TABLE


beginrow = b"\x10" + TABLE


def cell_string(s):
    return b"\x11" + text_arg(s) + TABLE


def cell_int(v):
    return b"\x12" + number(v) + TABLE


def cell_uint(v):
    return b"\x13" + number(v) + TABLE


def cell_hex(v):
    return b"\x14" + number(v) + TABLE


endrow = b"\x15" + TABLE
cell_empty = b"\x1e" + TABLE


def sumtext(column_id, s):
    return b"\x1f" + bytes([column_id]) + text_arg(s) + TABLE
removerows = b"\x16\x01"


def sort(order, column_id):  # order 0 unord, 1 asc, 2 desc
    return b"\x18" + bytes([order + 1, column_id]) + TABLE


def setstyle(s):
    return b"\x1a" + TABLE + bytes([s + 1])


def setsumreplace(style, ch):
    return b"\x1c" + TABLE + bytes([style + 1]) + number(ord(ch))


def setwidthmode(mode):  # 0 bytes, 1 display
    return b"\x20" + TABLE + bytes([mode + 1])


def setmeasuretitles(on):
    return b"\x21" + TABLE + number(on)


def setmultiline(on):
    return b"\xf7" + TABLE + number(on)


def setmaxwidth(width):
    return b"\xf8" + number(width) + TABLE


def setcolumn_maxwidth(width, overflow):  # overflow 0 cut, 1 wrap
    return b"\xf9" + number(width) + bytes([overflow + 1]) + TABLE


def print_(flags, how=1):  # how: 1 print, 5 print_all, 9 print_except, 0 null stream
    return b"\x1d" + bytes([flags, how]) + TABLE


# ---- the bulk steps (step bytes 0xf0 to 0xf6; 0xf7 to 0xf9 the line steps; 0xfd flushes) ----

def raw_text(s):
    """An input::text() of fewer than 32 bytes."""
    data = s.encode("latin-1")
    assert len(data) < 32
    return bytes([len(data)]) + data


def add_columns(count, types=0b11100100):  # two bits a column: 0 string .. 3 hex
    assert 1 <= count <= 40
    return b"\xf0" + bytes([count - 1, types])


def full_row(*values):
    """A row with one cell in every column: str for string columns, int otherwise."""
    return b"\xf1" + b"".join(raw_text(v) if isinstance(v, str) else number(v) for v in values)


def long_text(use, pattern, length):  # use: 0 cell, 1 title, 2 suffix
    assert 4096 <= length < 4096 + 8192
    return b"\xf2" + bytes([use]) + raw_text(pattern) + struct.pack(">H", length - 4096) + TABLE


def wide_minwidth(width):
    assert 8000 <= width < 12000
    return b"\xf3\x80" + struct.pack(">H", width - 8000) + TABLE


NUMBER_TYPES = {"int": 0, "uint": 1, "hex": 2}
ALIGN_CHARS = "-0123456789x.,k"
SUFFIXES = [None, ".00", " kB", "-", "0", "x1", ",5"]


def number_column_on_char(kind, ch, suffix=None, last=False, summed=False, zeros=False,
                          title_too=False):
    b = NUMBER_TYPES[kind] | last << 2 | summed << 3 | zeros << 4 | title_too << 5
    return b"\xf4" + bytes([b, ALIGN_CHARS.index(ch), SUFFIXES.index(suffix)])


REENTRY = ["none", "change", "print", "clean", "removerows", "delete", "read"]


def recorded_title(call, variant=0, first="", later=None, aligned=True):
    """A title callback that gives `first` on its first call in a print and
    `later` (when given) on the others, and makes a call of the kind `call`
    on its own table each time."""
    how = REENTRY.index(call) | (0x80 if later is not None else 0)
    out = b"\xf5" + bytes([how, variant]) + text_arg(first)
    if later is not None:
        out += text_arg(later)
    out += bytes([0 if aligned else 0x80]) + TABLE
    return out + (TABLE if aligned else b"")


def format_(fmt, flags=31, refuse_after=0xff):
    """Bulk step 0xf6: a format (7 is unknown), a print in it through a writer
    that refuses after refuse_after calls (0xff: never), back to text."""
    return b"\xf6" + bytes([fmt + 1]) + TABLE + bytes([flags, refuse_after])


def row(*cells):
    return beginrow + b"".join(cells) + endrow


def seed_report():
    return b"".join([
        begincolumn(1), title("Name"), endcolumn,
        begincolumn_id(3), title("Size"), celljust(2), summarize(), suffix(" kB"), endcolumn,
        begincolumn(2), title("Delta"), celljust(3), summarize(), endcolumn,
        begincolumn(4), title("Flags"), hexcase(2), leadingzero(), minwidth(8), endcolumn,
        endheader,
        row(cell_string("alpha"), cell_uint(1200), cell_int(-5), cell_hex(0xBEEF)),
        row(cell_string("b"), cell_uint(35)),
        row(cell_string("gamma-ray"), cell_uint(7), cell_int(2**63), cell_hex(0)),
        row(),
        print_(31), setstyle(3), print_(31), setstyle(2), print_(0b10101, 9),
        setstyle(1), print_(31, 5),
    ])


def seed_aligned():
    return b"".join([
        begincolumn(1), titlefunc(3), titlejust(4), celljust(4), endcolumn,
        begincolumn(1), title("Price"), titlejust(5), celljust(5), justchar(","), sortmode(2),
        endcolumn,
        begincolumn(3), titlefunc(1), celljust(2), summarize(), endcolumn,
        endheader,
        row(cell_string("1.25"), cell_string("1,5"), cell_uint(3)),
        row(cell_string("12.5"), cell_string("10,25"), cell_uint(10)),
        row(cell_string("100"), cell_string("9"), cell_uint(3)),
        row(cell_string("7"), cell_string("1,2,3")),
        row(cell_string("x.y.z")),
        setstyle(2), sort(1, 3), print_(31), sort(2, 3), print_(31), sort(1, 2), print_(31),
        sort(2, 1), setstyle(0), print_(31), setsumreplace(0, "*"), print_(16),
    ])


def seed_short_rows():
    return b"".join([
        begincolumn(2), minwidth(6), endcolumn,
        begincolumn(1), minwidth(5), celljust(3), endcolumn,
        begincolumn(4), minwidth(4), endcolumn,
        begincolumn(1), endcolumn,
        endheader,
        row(cell_int(1)),
        row(),
        row(cell_int(-2), cell_string("ab")),
        row(cell_int(3), cell_string("c"), cell_hex(255), cell_string("last")),
        setstyle(3), print_(31), setstyle(2), print_(31), sort(1, 2), print_(4),
        removerows, print_(31),
    ])


def seed_out_of_phase():
    return b"".join([
        beginrow, cell_int(1), endrow, endcolumn, title("x"), sort(1, 1), print_(31),
        begincolumn(0), begincolumn(5), begincolumn(2), begincolumn(2), endheader,
        titlejust(0), titlejust(6), celljust(7), hexcase(3), minwidth(0),
        b"\x07\x00" + TABLE,  # minimum width INT_MIN
        getcolumnid(0), endcolumn, endheader, begincolumn(1), getcolumnid(0), getcolumnid(4),
        cell_int(3), beginrow, cell_string("no"), cell_uint(3), cell_int(-1), cell_int(2),
        beginrow, endrow, endrow, sort(3, 1), sort(1, 7), print_(31, 0),
        b"\x02" + NULL_TABLE, b"\x10" + NULL_TABLE, print_(31),
    ])


def seed_wide():
    long_text = ("wide\x80\xff|" * 200)[:1400]
    return b"".join([
        begincolumn(1), title("A title that is wider than its column"), endcolumn,
        begincolumn(1), minwidth(100), celljust(3), endcolumn,
        endheader,
        row(cell_string(long_text), cell_string("mid")),
        row(cell_string("s"), cell_string(" blank around ")),
        print_(31), setstyle(3), print_(31),
    ])


def seed_no_columns():
    return endheader + row() + row() + print_(31) + setstyle(2) + print_(31)


def seed_many_columns():
    values = []
    for i in range(6):
        values += ["s%d" % i, -(10**i), 7 * 10**i, 0xABC << i]
    return b"".join([
        add_columns(24),
        number_column_on_char("int", "-", summed=True),
        begincolumn(1), title("last"), celljust(3), endcolumn,
        endheader,
        full_row(*values, -42, "centre"),
        full_row(*values[::-1][:24], 5, "c"),
        row(cell_string("short")),
        full_row(*["x" * i if i % 4 == 0 else i for i in range(24)], -1, "end"),
        print_(31), setstyle(2), print_(31), setstyle(1), print_(31),
        sort(2, 22), setstyle(3), print_(31),
    ])


def seed_wide_fields():
    return b"".join([
        begincolumn(1), wide_minwidth(9000), endcolumn,
        begincolumn(1), celljust(2), endcolumn,
        begincolumn(2), long_text(2, "0.", 9000), celljust(2), summarize(), endcolumn,
        begincolumn(1), celljust(3), long_text(1, "Title ", 8500), endcolumn,
        begincolumn(3), wide_minwidth(8192), celljust(1), endcolumn,
        begincolumn(4), wide_minwidth(8160), leadingzero(), endcolumn,
        endheader,
        beginrow, cell_string("short"), long_text(0, "abc", 10000), cell_int(-5),
        cell_string("x"), cell_uint(7), cell_hex(0xFF), endrow,
        row(cell_string("s2"), cell_string("mid"), cell_int(12345)),
        print_(31), setstyle(2), print_(31), setstyle(1), print_(31), setstyle(3), print_(31),
    ])


def seed_split_numbers():
    return b"".join([
        number_column_on_char("int", "-", summed=True),
        number_column_on_char("int", "1", ".00", last=True, summed=True, title_too=True),
        number_column_on_char("uint", ".", ".00", summed=True),
        number_column_on_char("hex", "x", "x1", last=True),
        number_column_on_char("hex", "0", zeros=True),
        number_column_on_char("int", ",", ",5", summed=True),
        number_column_on_char("uint", "9", "0", last=True, summed=True),
        number_column_on_char("uint", "k", " kB"),
        endheader,
        full_row(-12345, 1001, 1500, 0x1F1, 0x100, -7, 999, 3),
        full_row(0, -1, 99, 0, 0xABC, 12, 90, 1 << 40),
        full_row(-2**63, 2**63 - 1, 2**64 - 1, 2**64 - 1, 1, 1000, 19, 0),
        row(cell_int(5)),
        print_(31), setstyle(2), print_(31), setstyle(1), print_(31), setstyle(3), print_(31),
    ])


def seed_busy_titles():
    columns = []
    for call in REENTRY:
        for variant in range(4 if call in ("print", "read") else 1):
            columns += [begincolumn(1),
                        recorded_title(call, variant, "a.b", "long.er" if variant % 2 == 0 else None,
                                       aligned=variant != 1),
                        endcolumn]
    return b"".join(columns + [
        begincolumn(2), recorded_title("change", 0, "1.25", "100.5"), celljust(4), endcolumn,
        endheader,
        row(cell_string("1.5"), cell_string("x"), cell_string("yy.z")),
        row(),
        print_(31), print_(1), setstyle(1), print_(31), setstyle(2), print_(31, 9),
        removerows, print_(31),
    ])


def seed_busy_changes():
    columns = []
    for variant in range(25):
        columns += [begincolumn(1 + variant % 4),
                    recorded_title("change", variant, "%d.%d" % (variant, variant),
                                   aligned=variant % 3 != 0),
                    endcolumn]
    return b"".join(columns + [
        endheader,
        full_row(*[("v%d" % i if i % 4 == 0 else i) for i in range(25)]),
        print_(31), setstyle(3), print_(31),
    ])


def seed_missing_values():
    return b"".join([
        begincolumn(1), title("Item"), endcolumn,
        begincolumn(2), celljust(2), summarize(), endcolumn,
        begincolumn(1), celljust(4), endcolumn,
        begincolumn(4), leadingzero(), celljust(5), justchar("x"), endcolumn,
        begincolumn(3), celljust(3), summarize(), suffix(" kB"), endcolumn,
        endheader, sumtext(1, "Total"), sumtext(3, "100.125"),
        row(cell_empty, cell_int(5), cell_string("1.5"), cell_hex(0x1F), cell_uint(7)),
        row(cell_string("pen"), cell_empty, cell_empty, cell_empty, cell_uint(12)),
        row(cell_string("ink"), cell_int(-20), cell_string("12.25"), cell_hex(1), cell_empty),
        print_(31), setstyle(2), print_(31), sort(1, 2), print_(31), sort(2, 3), sumtext(5, None),
        sumtext(2, "a wide summary text"), setstyle(1), print_(31), setstyle(3), print_(31),
    ])


def seed_display_widths():
    def u(text):
        return text.encode("utf-8")
    return b"".join([
        setwidthmode(1),
        begincolumn(1), title(u("名前")), titlejust(3), endcolumn,
        begincolumn(1), title(u("価格")), celljust(4), endcolumn,
        begincolumn(2), title(u("Δ")), celljust(2), summarize(), suffix(u(" €")), endcolumn,
        endheader, sumtext(1, u("合計")),
        row(cell_string(u("café")), cell_string(u("¥1.5")), cell_int(-3)),
        row(cell_string(u("cafe\u0301")), cell_string(u("12.五十")), cell_int(25)),
        row(cell_string(u("東京")), cell_string(u("三.25")), cell_int(100)),
        row(cell_string(u("🎉 ok")), cell_string(b"bad\xff\xc3."), cell_int(7)),
        print_(31), setstyle(3), print_(31), setstyle(2), print_(31), setstyle(1), print_(31),
        setwidthmode(0), setstyle(3), print_(31),
    ])


# ---- the number steps (step bytes 0xfa to 0xfc) ----

def cell_double(v):
    return b"\xfa\xa0" + number(struct.unpack(">Q", struct.pack(">d", v))[0]) + TABLE


def precision(p):  # -1 to 17
    return b"\xfb" + TABLE + bytes([p + 3])


GROUP_SEPARATORS = [None, ",", ".", "'", "_", " ", "x", "-", "0"]


def grouping(sep):
    return b"\xfc" + bytes([GROUP_SEPARATORS.index(sep)]) + TABLE


def seed_doubles_grouped():
    """Double columns in the shortest and fixed precisions, summed, with NaN,
    infinities and -0, and grouped digits in every number type."""
    return b"".join([
        begincolumn(5), title("shortest"), summarize(), grouping("_"), endcolumn,
        begincolumn(5), precision(2), celljust(4), summarize(), grouping(" "), endcolumn,
        begincolumn(5), precision(17), celljust(2), justchar(","), grouping("."), endcolumn,
        begincolumn(2), celljust(2), summarize(), grouping(","), endcolumn,
        begincolumn(4), leadingzero(), summarize(), grouping("_"), endcolumn,
        endheader,
        row(cell_double(0.1), cell_double(1234567.125), cell_double(-0.0), cell_int(-1932735283200),
            cell_hex(0xDEADBEEF)),
        row(cell_double(1e21), cell_double(float("nan")), cell_double(2.5), cell_int(12),
            cell_hex(2**64 - 1)),
        row(cell_double(-1e-7), cell_double(float("inf")), cell_double(1e300), cell_empty,
            cell_hex(0xFF)),
        row(cell_double(1e16), cell_double(-0.005)),
        print_(31), sort(1, 1), setstyle(2), print_(31), sort(2, 2), setstyle(1), print_(31),
        setstyle(3), print_(31),
    ])


def seed_measured_titles():
    """Long titles in every justification over short numbers, measured and not,
    some narrower than a minimum width, in both width modes."""
    def u(text):
        return text.encode("utf-8")
    return b"".join([
        begincolumn(2), title("Delta"), celljust(2), summarize(), endcolumn,
        begincolumn(2), title("Delta"), titlejust(2), minwidth(8), endcolumn,
        begincolumn(3), title(u("合計金額")), titlejust(3), endcolumn,
        begincolumn(1), title("Mean.value"), titlejust(4), celljust(4), endcolumn,
        begincolumn(2), titlefunc(3), titlejust(5), celljust(1), endcolumn,
        endheader,
        row(cell_int(-5), cell_int(1), cell_uint(2), cell_string("3.5"), cell_int(4)),
        row(cell_int(7), cell_int(10), cell_uint(20), cell_string("30.25"), cell_int(40)),
        print_(31), setmeasuretitles(1), print_(31), setstyle(2), print_(31), setstyle(1),
        print_(31), setwidthmode(1), setstyle(3), print_(31), setmeasuretitles(0), print_(31),
    ])


def seed_lines():
    """Texts on several lines, cut and wrapped at column limits, and a wide
    table fitted to a width in both width modes."""
    def u(text):
        return text.encode("utf-8")
    return b"".join([
        setmultiline(1),
        begincolumn(1), title(u("Name\nfirst")), setcolumn_maxwidth(6, 1), endcolumn,
        begincolumn(2), title("Size"), celljust(2), summarize(), endcolumn,
        begincolumn(1), title("Note"), setcolumn_maxwidth(5, 0), endcolumn,
        begincolumn(1), title("Version"), celljust(4), endcolumn,
        begincolumn(1), title(u("説明")), endcolumn,
        endheader, sumtext(1, u("Total\nall")),
        row(cell_string(u("alpha beta\ngamma")), cell_int(12), cell_string(u("\x1b[31mred text\x1b[0m")),
            cell_string("1:1.3.dfsg"), cell_string(u("長い説明の文章です"))),
        row(cell_string(u("short"))),
        row(cell_string(u("東京都 大阪")), cell_int(-3), cell_string(u("🇩🇪 flag")), cell_string("9.4-3")),
        print_(31), setstyle(2), print_(31), setmaxwidth(30), print_(31), setwidthmode(1),
        print_(31), setstyle(3), setmaxwidth(12), print_(31), setstyle(1), print_(31),
        setmultiline(0), print_(31), setmaxwidth(0), print_(31),
    ])


def seed_formats():
    return b"".join([
        begincolumn(1), title('Na"me|,'), endcolumn,
        begincolumn(2), title("Delta"), celljust(2), summarize(), suffix(" |B"), endcolumn,
        begincolumn(4), title("<Addr>"), hexcase(2), leadingzero(), endcolumn,
        begincolumn(1), titlefunc(3), celljust(4), endcolumn,
        endheader, sumtext(1, "Total\n"),
        row(cell_string("a|b,\"c\""), cell_int(-5), cell_hex(0xBEEF), cell_string("1.5")),
        row(cell_string("tab\there\r\nx"), cell_int(-2**63)),
        row(cell_string(b"\xff\xe2\x82<&>\x01\\"), cell_empty, cell_hex(2**64 - 1)),
        row(),
        recorded_title("print", 2, "T", "later"),
        format_(1), format_(2), format_(3, 0b101), format_(4), format_(5, 4), format_(6),
        format_(7), format_(4, 31, 0), format_(1, 31, 1), setwidthmode(1), format_(1),
        print_(31),
    ])


def flushrows(sections=31, through_writer=0):
    """Step 0xfd: tblx_flushrows to a memory stream, or through a writer."""
    return b"\xfd" + bytes([sections, through_writer]) + TABLE


def seed_flush():
    """A streamed table: flushes in a frozen layout with wider texts and
    numbers, on several lines and wrapped, a refused sort, the summary of
    every row, prints in the formats while frozen, and the freeze ended."""
    def u(text):
        return text.encode("utf-8")
    return b"".join([
        begincolumn(1), title("Name"), endcolumn,
        begincolumn(2), title("Size"), celljust(2), summarize(), suffix(" kB"), endcolumn,
        begincolumn(5), precision(2), summarize(), grouping(","), endcolumn,
        begincolumn(1), title("Note"), setcolumn_maxwidth(0, 1), endcolumn,
        endheader,
        row(cell_string("alpha"), cell_int(12), cell_double(1.5), cell_string("short")),
        flushrows(31),
        row(cell_string("a much longer name"), cell_int(-2**63), cell_double(1e300),
            cell_string(u("東京都 大阪 and more words"))),
        row(cell_string("b")),
        flushrows(4, 1), sort(1, 1), setmultiline(1), setwidthmode(1),
        row(cell_string(u("wide 東京都庁")), cell_int(3), cell_double(-0.5),
            cell_string("one two three four")),
        flushrows(31), format_(4), format_(6), print_(24), removerows,
        row(cell_string("c"), cell_int(1)), print_(31), flushrows(7), print_(31),
    ])


cancelrow = b"\xfe" + TABLE


def seed_cancelled_rows():
    """Rows begun and cancelled: after a print, with cells, with a cell long
    enough for a block of its own, and without a row open."""
    return b"".join([
        begincolumn(1), title("Name"), endcolumn,
        begincolumn(3), title("Size"), celljust(2), summarize(), endcolumn,
        endheader,
        row(cell_string("alpha"), cell_uint(1200)),
        print_(31), beginrow, cell_string("dropped"), cell_uint(99), cancelrow, print_(31),
        cancelrow, beginrow, cancelrow, beginrow, long_text(0, "x", 12000), cancelrow,
        row(cell_string("beta"), cell_uint(3)), setstyle(2), print_(31),
    ])


SEEDS = {
    "cancelled_rows": seed_cancelled_rows,
    "display_widths": seed_display_widths,
    "report": seed_report,
    "aligned": seed_aligned,
    "short_rows": seed_short_rows,
    "out_of_phase": seed_out_of_phase,
    "wide": seed_wide,
    "no_columns": seed_no_columns,
    "many_columns": seed_many_columns,
    "wide_fields": seed_wide_fields,
    "split_numbers": seed_split_numbers,
    "busy_titles": seed_busy_titles,
    "busy_changes": seed_busy_changes,
    "missing_values": seed_missing_values,
    "measured_titles": seed_measured_titles,
    "lines": seed_lines,
    "formats": seed_formats,
    "doubles_grouped": seed_doubles_grouped,
    "flush": seed_flush,
}

if __name__ == "__main__":
    corpus = pathlib.Path(__file__).resolve().parent / "corpus"
    corpus.mkdir(exist_ok=True)
    for name, make in SEEDS.items():
        (corpus / f"seed_{name}").write_bytes(make())
