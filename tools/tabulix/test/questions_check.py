#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks the command's answers against answers computed here, on random
files: --sort with --head against the first rows of the full sort, each
--where operator against the rule evaluated in Python, --stats against
Python's decimal and statistics, and each output format parsed back.

Usage: questions_check.py TABULIX [ROUNDS [SEED]]
"""
import csv
import html.parser
import io
import json
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
from decimal import ROUND_HALF_UP, Decimal, getcontext

getcontext().prec = 200  # exact for the sums and means here
TOOL = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 20
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 30)
WORDS = ["alpha", "Bravo", "charlie", "delta", "écho", "a", "b", "ab", "z9", "10"]


def run(*args, ok=True):
    p = subprocess.run([TOOL, *args], capture_output=True)
    if ok and p.returncode != 0:
        raise SystemExit("failed: %r\n%s" % (args, p.stderr.decode()))
    return p


def random_file(rows, late_text=False):
    """Columns i (ints), d (decimals), t (texts), k (few values: ties), each
    with empty cells; with late_text, k holds one text in its last row."""
    lines = ["i,d,t,k"]
    for r in range(rows):
        i = "" if rng.random() < 0.1 else str(rng.randint(-50, 50))
        d = "" if rng.random() < 0.1 else "%d.%02d" % (rng.randint(-9, 9), rng.randint(0, 99))
        if rng.random() < 0.02:  # past 64 bits
            d = "%d.%d" % (rng.randint(-10**25, 10**25), rng.randint(0, 9))
        t = "" if rng.random() < 0.1 else rng.choice(WORDS)
        k = "" if rng.random() < 0.2 else str(rng.randint(0, 3))
        if late_text and r == rows - 1:
            k = "x"
        lines.append(",".join([i, d, t, k]))
    return "\n".join(lines) + "\n"


def write(text):
    f = tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False, encoding="utf-8")
    f.write(text)
    f.close()
    return f.name


def tsv_rows(p):
    return [line.split("\t") for line in p.stdout.decode().splitlines()[1:]]


def check_top(path):
    keys = rng.choice([["k"], ["k:desc"], ["k", "d:desc"], ["t"], ["i:desc", "t"], ["d"]])
    sort = [a for k in keys for a in ("--sort", k)]
    full = tsv_rows(run(*sort, "--number", "-f", "tsv", path))
    for n in (0, 1, 3, 10, 1000):
        top = tsv_rows(run(*sort, "--head", str(n), "--number", "-f", "tsv", path))
        assert top == full[:n], (path, keys, n, top, full[:n])


def number(text):
    return re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)", text) is not None


def holds(field, op, value):
    """The rule of --where, evaluated here."""
    if op == "":
        return field != ""
    if op == "!":
        return field == ""
    if op in ("~", "!~"):
        return (re.search(value, field) is not None) == (op == "~")
    if op in ("=", "!="):
        same = Decimal(field) == Decimal(value) if number(field) and number(value) else field == value
        return same == (op == "=")
    if field == "":
        return False
    if number(value) and number(field):
        a, b = Decimal(field), Decimal(value)
    else:
        a, b = field.encode(), value.encode()
    return {"<": a < b, "<=": a <= b, ">": a > b, ">=": a >= b}[op]


def has_regex(path):
    """Whether the build has regular expressions (PCRE2)."""
    return b"without PCRE2" not in run("--where", "t~a", path, ok=False).stderr


def check_where(path, records):
    operators = ["=", "!=", "<", "<=", ">", ">=", "", "!"]
    if has_regex(path):
        operators += ["~", "!~"]
    for col, values in (("i", ["0", "-5", "7.5"]), ("d", ["0.50", "-1", "3.125"]),
                        ("t", ["b", "delta", "écho", "10"]), ("k", ["1", "x"])):
        c = "idtk".index(col)
        for op in operators:
            value = rng.choice(values) if op not in ("~", "!~") else rng.choice(["^a", "a$", "[0-9]", "é"])
            expr = "!" + col if op == "!" else col + op + ("" if op == "" else value)
            got = [int(r[0]) for r in tsv_rows(run("--where", expr, "--number", "-c", "1", "-f", "tsv", path))]
            want = [n + 1 for n, rec in enumerate(records) if holds(rec[c] if c < len(rec) else "", op, value)]
            assert got == want, (expr, got, want)


def trimmed(d, keep):
    text = format(d, "f")
    if "." in text:
        whole, frac = text.split(".")
        frac = frac.rstrip("0")
        frac = frac + "0" * (keep - len(frac)) if len(frac) < keep else frac
        text = whole + ("." + frac if frac else "")
    return text


def check_stats(path, records):
    got = {r[0]: r for r in tsv_rows(run("--stats", "-f", "tsv", path))}
    for c, name in enumerate("idtk"):
        values = [rec[c] for rec in records if c < len(rec) and rec[c] != ""]
        row = got[name]
        assert row[2] == str(len(values)), (name, row)
        assert row[3] == str(len(records) - len(values)), (name, row)
        assert row[4] == str(len(set(values))), (name, row)
        if not values or not all(number(v) for v in values):
            continue
        digits = max(len(v.split(".")[1]) if "." in v else 0 for v in values)
        nums = [Decimal(v) for v in values]
        total = sum(nums)
        mean = (total / len(nums)).quantize(Decimal(1).scaleb(-(digits + 2)), rounding=ROUND_HALF_UP)
        assert row[5] == min(values, key=Decimal) and row[6] == max(values, key=Decimal), (name, row)
        assert Decimal(row[7]) == mean and row[7] == format(mean, "f"), (name, row, mean)
        assert Decimal(row[8]) == total, (name, row, total)
        assert row[9] == trimmed(statistics.median(nums), digits), (name, row, statistics.median(nums))
        assert len(row[10]) == 10, (name, row)


class TableParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def check_formats(path, records):
    """tabulix -c t,d --where 'd>0' in each format, read back."""
    want = [[rec[2], rec[1]] for rec in records if holds(rec[1], ">", "0")]
    args = ("-c", "t,d", "--where", "d>0", path)
    out = lambda f: run("-f", f, *args).stdout.decode()
    assert list(csv.reader(io.StringIO(out("csv")))) == [["t", "d"]] + want
    assert [l.split("\t") for l in out("tsv").splitlines()] == [["t", "d"]] + want
    # A column of whole numbers is a JSON number.
    cells = lambda o: ["" if o[k] is None else str(o[k]) for k in ("t", "d")]
    assert [cells(o) for o in json.loads(out("json"))] == want
    assert [cells(o) for o in map(json.loads, out("jsonl").splitlines())] == want
    parser = TableParser()
    parser.feed(out("html"))
    assert parser.rows == [["t", "d"]] + want
    md = [[c.strip() for c in l.strip("|").split("|")] for l in out("markdown").splitlines()]
    assert md[0] == ["t", "d"] and md[2:] == want


def main():
    for r in range(ROUNDS):
        text = random_file(rng.choice([1, 5, 40, 300]), late_text=r % 3 == 0)
        path = write(text)
        try:
            records = [l.split(",") for l in text.splitlines()[1:]]
            check_top(path)
            check_where(path, records)
            check_stats(path, records)
            check_formats(path, records)
        finally:
            os.unlink(path)
    print("%d passed, 0 failed" % ROUNDS)


if __name__ == "__main__":
    main()
