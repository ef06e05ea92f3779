#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks that a file read in parts prints as it does read in one piece:
output, messages and exit status, on random files whose quoted fields hold
line ends and delimiters across the cuts, with CR LF, short rows and faults
late in the file. TABULIX_TEST_SPLIT reads any file in windows after its
header (of all its bytes, or as many as it says after a slash), each cut at
the line starts at or after the offsets it lists.

Usage: split_check.py TABULIX [ROUNDS [SEED]]
(ROUNDS files, each cut at 20 random places.)
"""
import os
import random
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 20
CUTS = 20  # tries of each file
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 31)
VALUES = ["7", "-3", "2.5", "1e3", "0x1F", "0xab", "1,234", "$5", "12%", "€3", "3 kB", "NA",
          "", "word", "é", "a;b", 'say ""hi""', "two\nlines", "x,y", "18446744073709551615"]
FAULTS = ["\xff", "a,b,c,d,e,f", '"open', "x\0y", '"a"b']
OPTIONS = [[], ["--sort", "c2"], ["--sort", "c1:desc", "--number"], ["--where", "c1 > 0"],
           ["--stats"], ["--na", "NA", "--format", "csv"], ["--type", "c1=int"],
           ["--skip", "1", "--comment", "#"], ["--trim", "--fields", "3"], ["--tsv"],
           ["--encoding", "cp1252"]]


def field(tsv):
    v = rng.choice(VALUES)
    if tsv:
        return v.replace("\n", " ").replace("\t", " ")
    if any(c in v for c in ',";\n') or rng.random() < 0.1:
        return '"' + v.replace('"', '""') + '"'
    return v


def random_file(tsv, skip):
    sep = "\t" if tsv else rng.choice([",", ";"])
    lines = ["junk line"] if skip else []
    lines.append(sep.join("c%d" % i for i in range(1, 5)))
    for _ in range(rng.randrange(5, 40)):
        if skip and rng.random() < 0.1:
            lines.append("# a comment, with \"quotes")
            continue
        row = [field(tsv) for _ in range(rng.randrange(1, 5))]
        lines.append(sep.join(row))
    if rng.random() < 0.3:
        lines.insert(rng.randrange(len(lines) // 2, len(lines)), rng.choice(FAULTS))
    end = rng.choice(["\n", "\n", "\r\n", "\r"])
    if end == "\r":
        # CR alone ends lines when the first 64 KiB hold no LF; an LF after
        # them is data, where a part must not begin.
        at = 2 if skip else 1  # after the header
        lines[at:] = [str(i) for i in range(20000)] + ["lf\nin", "7"]
    bom = "\ufeff" if rng.random() < 0.2 else ""
    return (bom + end.join(lines) + end).encode("utf-8", "surrogateescape")


def run(args, path, cuts):
    env = dict(os.environ)
    env.pop("TABULIX_TEST_SPLIT", None)
    if cuts:
        env["TABULIX_TEST_SPLIT"] = ",".join(map(str, cuts))
        if rng.random() < 0.3:
            env["TABULIX_TEST_SPLIT"] += "/%d" % rng.randrange(max(cuts) + 1, max(cuts) + 40)
    p = subprocess.run([TOOL, *args, path, path], capture_output=True, env=env)
    return p.returncode, p.stdout, p.stderr


failures = 0
with tempfile.TemporaryDirectory() as tmp:
    for r in range(ROUNDS):
        args = rng.choice(OPTIONS)
        data = random_file("--tsv" in args, "--skip" in args)
        path = os.path.join(tmp, "in.csv")
        with open(path, "wb") as f:
            f.write(data)
        one_piece = run(args, path, [])
        for _ in range(CUTS):
            cuts = rng.sample(range(len(data)), 1 if rng.random() < 0.7 else 3)
            if run(args, path, cuts) != one_piece:
                failures += 1
                print("differs: %r cut at %r, file:\n%r" % (args, cuts, data))
                break
sys.exit(1 if failures else 0)
