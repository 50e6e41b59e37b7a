#!/usr/bin/env python3
"""Writes the seeds of fuzz_mxf_file into fuzz-seeds-file/ beside this script: small MXF files whose
header metadata link, wait for and loop through their references, one behind a run-in, one with a
footer that the backward search finds, and chains of sets each owning the one before, in both orders;
and fuzz_mxf_file.dict, the keys, tags and framing those are made of. Also writes the chains that
fuzz_mxf_objects starts from into fuzz-seeds-objects/: header metadata items, and sets nested through
strong references deeper than a reader follows."""
import os

TOP = os.path.dirname(os.path.abspath(__file__))
HERE = os.path.join(TOP, "fuzz-seeds-file")
OBJECTS = os.path.join(TOP, "fuzz-seeds-objects")


def klv(key, value):
    return bytes.fromhex(key) + b"\x83" + len(value).to_bytes(3, "big") + value


def local_set(key, items):
    return klv(key, b"".join(tag.to_bytes(2, "big") + len(v).to_bytes(2, "big") + v for tag, v in items))


def uid(n):
    return bytes([0xA0] * 15 + [n])


def batch(ids):
    return len(ids).to_bytes(4, "big") + (16).to_bytes(4, "big") + b"".join(uid(i) for i in ids)


def pack(kind, header_bytes, footer=0):
    value = ((1).to_bytes(2, "big") + (3).to_bytes(2, "big") + (512).to_bytes(4, "big") + bytes(16)
             + footer.to_bytes(8, "big") + header_bytes.to_bytes(8, "big") + bytes(8 + 4 + 8)
             + (1).to_bytes(4, "big") + bytes.fromhex("060e2b34040101010d01020101010900") + bytes(8))
    return klv("060e2b34020501010d01020101" + kind + "00", value)


PRIMER = klv("060e2b34020501010d01020101050100", (4).to_bytes(4, "big") + (18).to_bytes(4, "big") + b"".join(
    tag.to_bytes(2, "big") + bytes.fromhex(label) for tag, label in [
        (0x3C0A, "060e2b34010101010101150200000000"), (0x3B02, "060e2b34010101020702011002040000"),
        (0x3B03, "060e2b34010101020601010402010000"), (0x1901, "060e2b34010101020601010405010000")]))
PREFACE = "060e2b34025301010d01010101012f00"
STORAGE = "060e2b34025301010d01010101011800"
DATE = bytes.fromhex("07e803050a141e00")


def header(metadata, kind="0204", footer=0):
    return pack(kind, len(metadata), footer) + metadata


seeds = {
    "linked": header(PRIMER + local_set(PREFACE, [(0x3C0A, uid(1)), (0x3B02, DATE), (0x3B03, uid(2))])
                     + local_set(STORAGE, [(0x3C0A, uid(2)), (0x1901, batch([]))])),
    "loop": header(PRIMER + local_set(STORAGE, [(0x3C0A, uid(2)), (0x1901, batch([3]))])
                   + local_set(STORAGE, [(0x3C0A, uid(3)), (0x1901, batch([2]))])
                   + local_set(PREFACE, [(0x3C0A, uid(1)), (0x3B03, uid(1))])),
    "fill-and-waiting": header(klv("060e2b34010101020301021001000000", bytes(20)) + PRIMER
                               + local_set(PREFACE, [(0x3C0A, uid(1)), (0x3B03, uid(9))])),
}


def chain(count, owned_first):
    """Storage i owns storage i - 1 through its packages."""
    order = range(1, count + 1) if owned_first else range(count, 0, -1)
    return PRIMER + b"".join(local_set(STORAGE, [(0x3C0A, uid(i)), (0x1901, batch([i - 1] if i > 1 else []))])
                             for i in order)


seeds["chain-owned-first"] = header(chain(200, True))
seeds["chain-owner-first"] = header(chain(200, False))
body = header(PRIMER + local_set(PREFACE, [(0x3C0A, uid(1)), (0x3B02, DATE)]), "0202")
seeds["footer"] = body + pack("0404", 0, len(body))
seeds["run-in"] = bytes(range(7, 207)) + seeds["linked"]



def nested(depth):
    """A set of the objects target's coding dictionary holding itself through tag 6006, depth times."""
    inner = bytes.fromhex("6001 0002 0007")
    for _ in range(depth):
        inner = bytes.fromhex("6006") + len(inner).to_bytes(2, "big") + inner
    return inner


object_seeds = {"header-chain-items": chain(40, False), "set-nested-deep": nested(80)}

TOKENS = {
    "partition": "060e2b34020501010d01020101020400", "primer": "060e2b34020501010d01020101050100",
    "preface": PREFACE, "storage": STORAGE, "fill": "060e2b34010101020301021001000000",
    "tag_instance": "3c0a0010", "tag_packages": "1901", "tag_storage": "3b030010",
    "batch_one": "0000000100000010", "ber4": "83000000", "ber9": "880000000000000000",
}

for folder, files in ((HERE, seeds), (OBJECTS, object_seeds)):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
with open(os.path.join(TOP, "fuzz_mxf_file.dict"), "w") as out:
    for name, hex_text in TOKENS.items():
        out.write(name + '="' + "".join("\\x%02x" % b for b in bytes.fromhex(hex_text)) + '"\n')
