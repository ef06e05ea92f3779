#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks the shortest texts of double columns against Python's repr.

Prints random doubles (random bit patterns, every exponent, subnormals
included, half of them near the plain range) through the built library in one double column of the raw style,
and compares each printed text with repr() of the same double: the same
significant digits and exponent (repr is David Gay's shortest round-trip
conversion, made independently of the library's), the text read back giving
the same double, and plain notation exactly for magnitudes from 1e-5 up to
1e16.

    scripts/check_shortest.py build/libtabulix.so [COUNT] [SEED]
"""
import ctypes
import math
import os
import random
import struct
import sys
import tempfile

TBLX_TYPE_DOUBLE = 5
TBLX_STYLE_RAW = 1
TBLX_PRINT_ROWS = 4


def digits_and_exponent(text):
    """(sign, significant digits, exponent of the first digit) of a decimal text."""
    sign = text.startswith("-")
    body = text.lstrip("-")
    exponent = 0
    if "e" in body:
        body, e = body.split("e")
        exponent = int(e)
    whole, _, fraction = body.partition(".")
    digits = (whole + fraction).lstrip("0")
    leading = len(whole + fraction) - len(digits)
    exponent += len(whole) - 1 - leading
    return sign, digits.rstrip("0") or "0", exponent if digits else 0


def main():
    library = ctypes.CDLL(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 25)
    libc = ctypes.CDLL(None)
    libc.fopen.restype = ctypes.c_void_p
    libc.fopen.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    libc.fclose.argtypes = [ctypes.c_void_p]
    library.tblx_new.restype = ctypes.c_void_p
    for name in ("tblx_begincolumn", "tblx_endcolumn", "tblx_endheader", "tblx_beginrow",
                 "tblx_endrow", "tblx_setstyle", "tblx_print", "tblx_addcell_double",
                 "tblx_delete"):
        getattr(library, name).argtypes = [ctypes.c_void_p]
    library.tblx_begincolumn.argtypes = [ctypes.c_void_p, ctypes.c_uint]
    library.tblx_setstyle.argtypes = [ctypes.c_void_p, ctypes.c_uint]
    library.tblx_addcell_double.argtypes = [ctypes.c_void_p, ctypes.c_double]
    library.tblx_print.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_void_p]

    values = []
    while len(values) < count:
        bits = rng.getrandbits(64)
        if len(values) % 2:  # half of them where tables live, around the plain range
            bits = bits & 0x800FFFFFFFFFFFFF | rng.randrange(1023 - 24, 1023 + 60) << 52
        value = struct.unpack("<d", struct.pack("<Q", bits))[0]
        if math.isfinite(value):
            values.append(value)
    table = library.tblx_new()
    assert library.tblx_begincolumn(table, TBLX_TYPE_DOUBLE) == 0
    assert library.tblx_endcolumn(table) == 0 and library.tblx_endheader(table) == 0
    assert library.tblx_setstyle(table, TBLX_STYLE_RAW) == 0
    for value in values:
        library.tblx_beginrow(table)
        library.tblx_addcell_double(table, value)
        library.tblx_endrow(table)
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "rows.txt")
        stream = libc.fopen(path.encode(), b"w")
        assert library.tblx_print(table, TBLX_PRINT_ROWS, stream) == 0
        libc.fclose(stream)
        library.tblx_delete(table)
        with open(path, encoding="ascii") as f:
            lines = f.read().splitlines()

    assert len(lines) == len(values), "one line per value"
    failures = 0
    for value, text in zip(values, lines):
        plain = 1e-5 <= abs(value) < 1e16 or value == 0
        good = (digits_and_exponent(text) == digits_and_exponent(repr(value))
                and float(text) == value and ("e" not in text) == plain)
        if not good:
            failures += 1
            if failures <= 10:
                print(f"{value!r}: printed {text}")
    print(f"{len(values)} doubles, {failures} differ from repr")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
