#!/usr/bin/env python3
"""Writes a list of sounds as the app keeps it (sounds.txt), for tests and
benchmarks that need a long one: COUNT sounds drawn in turn from the sound
codes in CODES (one a line), named "kept 1", "kept 2", ..., the first STARRED
of them starred, the last one chosen.

Usage: sound_list.py CODES COUNT OUT [STARRED]"""
import sys
import zlib


def main():
    codes_path, count, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    starred = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    with open(codes_path) as f:
        codes = [line.strip() for line in f if line.strip().startswith("bfs1:")]
    if not codes:
        sys.exit("sound_list.py: no sound codes in " + codes_path)
    lines = ["bleepforge sounds 1", "chosen %d" % (count - 1) if count else "chosen -"]
    for n in range(count):
        star = "*" if n < starred else "-"
        lines.append("%s\t%s\tkept\t-\tkept %d" % (codes[n % len(codes)], star, n + 1))
    body = "\n".join(lines) + "\n"
    # The last line counts the sounds and sums what comes before it.
    end = "end %d %08x\n" % (count, zlib.crc32(body.encode()) & 0xFFFFFFFF)
    with open(out, "w") as f:
        f.write(body + end)


main()
