#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Parses the JSON, JSON Lines, CSV and HTML prints of random tables with
Python's own parsers and compares what they read with the cells the tables
were given.

Usage: format_check.py GENERATOR [COUNT [SEED]]; GENERATOR is
tabulix_format_tables, whose output format is described in its source.
"""
import csv
import html.parser
import io
import json
import subprocess
import sys


def unhex(word):
    return bytes.fromhex(word[1:])


def text(raw):
    """A text as a JSON reader sees it: ill-formed UTF-8 replaced."""
    return raw.decode("utf-8", errors="replace")


def raw_text(raw):
    """A text as the byte formats keep it, every byte preserved."""
    return raw.decode("utf-8", errors="surrogateescape")


class Column:
    def __init__(self, fields):
        self.type, self.upper, self.zeros, self.summed = (int(f) for f in fields[:4])
        self.title = unhex(fields[4])
        self.suffix = unhex(fields[5])
        self.sum_text = None if fields[6] == "-" else unhex(fields[6])


def cell_of(token):
    if token == "e":
        return None
    kind, value = token.split(":", 1)
    return unhex(value) if kind == "s" else int(value)


class Table:
    def __init__(self, columns):
        self.columns = columns
        self.rows = []
        self.prints = {}

    def cell(self, row, i):
        return row[i] if i < len(row) else None


def read_tables(stream):
    tables = []
    while True:
        line = stream.readline()
        if not line:
            return tables
        words = line.split()
        if words[0] == b"table":
            tables.append(Table([]))
        elif words[0] == b"column":
            tables[-1].columns.append(Column([w.decode() for w in words[1:]]))
        elif words[0] == b"row":
            tables[-1].rows.append([cell_of(w.decode()) for w in words[1:]])
        elif words[0] == b"print":
            size = int(words[2])
            tables[-1].prints[words[1].decode()] = stream.read(size)
            stream.read(1)
        else:
            raise ValueError("unexpected line %r" % line)


def check_hex(shown, value, col, where):
    """A hex value: "0x", digits in the column's case, zero-filled only when set."""
    digits = shown[2:]
    assert shown.startswith("0x"), where
    assert int(digits, 16) == value, where
    assert digits == (digits.upper() if col.upper else digits.lower()), where
    if not col.zeros:
        assert digits == "%x" % value or digits == "%X" % value, where


def expect_json_value(got, value, col, where):
    if value is None:
        assert got is None, where
    elif col.type == 1:
        assert got == text(value), (where, got, value)
    elif col.type == 4:
        check_hex(got, value, col, where)
    elif col.type == 2 and value >= 2**63:
        assert got == value - 2**64, where
    else:
        assert got == value, (where, got, value)


def check_objects(table, objects, where):
    assert len(objects) == len(table.rows), where
    for r, (obj, row) in enumerate(zip(objects, table.rows)):
        keys = [text(c.title) for c in table.columns]
        assert list(obj) == keys, (where, r, list(obj), keys)
        for i, col in enumerate(table.columns):
            expect_json_value(obj[keys[i]], table.cell(row, i), col, (where, r, i))


def check_json(table, where):
    check_objects(table, json.loads(table.prints["json"]), where + " json")
    lines = table.prints["jsonl"].decode("utf-8").split("\n")
    assert lines[-1] == "", where
    check_objects(table, [json.loads(l) for l in lines[:-1]], where + " jsonl")


def shown_number(value, col):
    """A number's text as CSV writes it (no suffix), for int and uint."""
    if col.type == 2 and value >= 2**63:
        value -= 2**64
    return str(value)


def check_field(got, value, col, where, suffix=b""):
    if value is None:
        assert got == "", where
    elif col.type == 1:
        assert got == raw_text(value), (where, got, value)
    elif col.type == 4:
        assert got.endswith(raw_text(suffix)), where
        check_hex(got[: len(got) - len(raw_text(suffix))], value, col, where)
    else:
        assert got == shown_number(value, col) + raw_text(suffix), (where, got, value)


def check_csv(table, where):
    data = table.prints["csv"].decode("utf-8", errors="surrogateescape")
    assert data.endswith("\r\n"), where
    records = list(csv.reader(io.StringIO(data, newline=""), strict=True))
    assert len(records) == 1 + len(table.rows), where
    assert records[0] == [raw_text(c.title) for c in table.columns], where
    for r, (record, row) in enumerate(zip(records[1:], table.rows)):
        assert len(record) == len(table.columns), (where, r, record)
        for i, col in enumerate(table.columns):
            check_field(record[i], table.cell(row, i), col, (where, "csv", r, i))


class Cells(html.parser.HTMLParser):
    """The text of every th and td, by section and row."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.sections = {}
        self.current = None
        self.cell = None

    def handle_starttag(self, tag, attrs):
        if tag in ("thead", "tbody", "tfoot"):
            self.current = self.sections.setdefault(tag, [])
        elif tag == "tr":
            self.current.append([])
        elif tag in ("th", "td"):
            self.cell = []

    def handle_endtag(self, tag):
        if tag in ("th", "td"):
            self.current[-1].append("".join(self.cell))
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell.append(data)


def check_html(table, where):
    parser = Cells()
    parser.feed(table.prints["html"].decode("utf-8", errors="surrogateescape"))
    parser.close()
    sections = parser.sections
    assert sections["thead"] == [[raw_text(c.title) for c in table.columns]], where
    assert len(sections["tbody"]) == len(table.rows), where
    for r, (cells, row) in enumerate(zip(sections["tbody"], table.rows)):
        for i, col in enumerate(table.columns):
            check_field(cells[i], table.cell(row, i), col, (where, "html", r, i), col.suffix)
    for i, col in enumerate(table.columns):
        got = sections["tfoot"][0][i]
        if col.sum_text is not None:
            assert got == raw_text(col.sum_text), (where, "sum", i)
        elif col.summed:
            values = [v for v in (table.cell(r, i) for r in table.rows) if v is not None]
            if col.type == 2:  # int cells count with their sign
                values = [v - 2**64 if v >= 2**63 else v for v in values]
            total = sum(values)
            if col.type == 4:
                check_field(got, total, col, (where, "sum", i), col.suffix)
            else:
                assert got == str(total) + raw_text(col.suffix), (where, "sum", i, got, total)
        else:
            assert got == "", (where, "sum", i)


def main():
    generator = sys.argv[1]
    args = [generator] + sys.argv[2:]
    out = subprocess.run(args, stdout=subprocess.PIPE, check=True).stdout
    tables = read_tables(io.BytesIO(out))
    for n, table in enumerate(tables):
        where = "table %d" % n
        check_json(table, where)
        check_csv(table, where)
        check_html(table, where)
    print("%d tables: JSON, JSON Lines, CSV and HTML read back as written" % len(tables))


if __name__ == "__main__":
    main()
