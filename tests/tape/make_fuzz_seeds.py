#!/usr/bin/env python3
"""Writes the seed images of fuzz_tape_image into fuzz-seeds/ beside this script."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz-seeds")


def record(data):
    n = struct.pack("<I", len(data))
    return n + data + (b"\0" if len(data) % 2 else b"") + n


MARK = struct.pack("<I", 0)
END = struct.pack("<I", 0xFFFFFFFF)

SEEDS = {
    "blocks-and-marks.tap": record(b"A" * 64) + record(b"B" * 64) + MARK + record(b"C" * 64) + MARK,
    "odd-records.tap": record(b"x") + record(b"abc") + MARK + record(b"hello") + MARK + MARK,
    "end-of-medium.tap": record(b"VOL1" + b" " * 76) + MARK + END + b"\x07\0\0\0tail",
    "marks-only.tap": MARK * 3,
    "after-two-marks.tap": record(b"D" * 32) + MARK + MARK + record(b"never read") + MARK,
    "cut-in-a-record.tap": record(b"E" * 32) + MARK + record(b"F" * 48)[:30],
    "cut-after-a-record.tap": record(b"G" * 32) + MARK + record(b"H" * 32),
}

os.makedirs(HERE, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
