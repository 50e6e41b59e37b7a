#!/usr/bin/env python3
"""Writes a hostile copy of tests/fixtures/ffmpeg/tedial.mxf: its header metadata grown to about SIZE
bytes by sets of one shape, inserted after its own sets (so the partitions after them are no longer where the packs
say). Shapes:
  batches  Identification sets of 64 KiB batches of 1-byte items (tag 3B0A, EssenceContainers)
  strings  Identification sets of UTF-16 company names of 32,767 units
  uids     small Identification sets, each with an instance UID of its own
  empty    Identification sets with no items at all
Usage: make_hostile_mxf.py SHAPE SIZE OUT"""
import os
import sys

fixtures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures", "ffmpeg")
sys.path.insert(0, fixtures)
import klv  # noqa: E402

IDENTIFICATION = bytes.fromhex("060e2b34025301010d01010101013000")
FILL = bytes.fromhex("060e2b34010101020301021001000000")


def ber(length):
    return bytes([0x83]) + length.to_bytes(3, "big")


def item(tag, value):
    return tag.to_bytes(2, "big") + len(value).to_bytes(2, "big") + value


def local_set(items):
    value = b"".join(items)
    return IDENTIFICATION + ber(len(value)) + value


def sets(shape, size):
    if shape == "batches":
        count = 0xFFFF - 8
        one = local_set([item(0x3B0A, count.to_bytes(4, "big") + (1).to_bytes(4, "big") + bytes(count))])
        return one * max(1, size // len(one))
    if shape == "strings":
        one = local_set([item(0x3C01, "A".encode("utf-16-be") * 32767)])
        return one * max(1, size // len(one))
    if shape == "uids":
        out = bytearray()
        i = 0
        while len(out) < size:
            out += local_set([item(0x3C0A, b"\xfe\xed" + i.to_bytes(14, "big"))])
            i += 1
        return bytes(out)
    if shape == "empty":
        one = IDENTIFICATION + b"\x00"
        return one * max(1, size // len(one))
    raise SystemExit(f"no shape {shape}")


shape, size, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
source = open(os.path.join(fixtures, "tedial.mxf"), "rb").read()
# The fill that ends the header metadata: the sets go in before it.
fill = next(start for start, key, _, _ in klv.items(source) if key == FILL and start > 2560)
grown = sets(shape, size)
hostile = bytearray(source[:fill] + grown + source[fill:])
header_bytes = int.from_bytes(hostile[52:60], "big") + len(grown)
hostile[52:60] = header_bytes.to_bytes(8, "big")  # HeaderByteCount of the header partition pack
open(out, "wb").write(hostile)
