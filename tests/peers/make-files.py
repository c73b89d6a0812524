#!/usr/bin/env python3
"""Writes the peers' test files: make-files.py DIR SIZE... gives DIR/f<SIZE>.bin.

The bytes are pseudo-random from a seed that is the size, so every run makes
the same files, and a byte from the wrong offset never matches by chance.
Files that exist with the right size are kept.
"""
import os
import random
import sys

CHUNK = 16 * 1024 * 1024


def make(directory, size):
    path = os.path.join(directory, "f%d.bin" % size)
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    generator = random.Random(size)
    with open(path + ".part", "wb") as out:
        left = size
        while left:
            n = min(CHUNK, left)
            out.write(generator.randbytes(n))
            left -= n
    os.replace(path + ".part", path)


def main():
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)
    for size in sys.argv[2:]:
        make(directory, int(size))


if __name__ == "__main__":
    main()
