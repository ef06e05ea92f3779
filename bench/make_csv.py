#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the command's benchmark input: a CSV of N lines (default 1,000,000,
about 70 MB) with six columns: text, int, uint, hex, decimal, text. The values
come from a fixed seed, so every run writes the same bytes.

    python3 bench/make_csv.py [LINES] > big.csv
"""
import random
import sys


def main():
    lines = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rng = random.Random(42)
    words = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
             "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa"]
    out = sys.stdout
    out.write("Name,Count,Bytes,Address,Price,Comment\n")
    chunk = []
    for i in range(lines):
        name = f"{rng.choice(words)}-{rng.choice(words)}-{i}"
        count = rng.randint(-100000, 100000)
        size = rng.randint(0, 1 << 40)
        address = f"0x{rng.getrandbits(32):x}"
        price = f"{rng.randint(0, 99999)}.{rng.randint(0, 99):02d}"
        comment = " ".join(rng.choice(words) for _ in range(2))
        chunk.append(f"{name},{count},{size},{address},{price},{comment}\n")
        if len(chunk) == 10000:
            out.write("".join(chunk))
            chunk.clear()
    out.write("".join(chunk))


if __name__ == "__main__":
    main()
