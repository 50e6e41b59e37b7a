#!/usr/bin/env python3
"""Runs `reelfs mktape` and reads what it wrote with a tape image reader of its own.

usage: read_tap.py REELFS WORKDIR
"""
import os
import random
import shutil
import struct
import subprocess
import sys

SIZES = [0, 1, 10240, 10241, 30000]


def read_tap(path):
    """The entries of an image: bytes for a record, None for a mark."""
    entries = []
    with open(path, "rb") as f:
        data = f.read()
    pos = 0
    while pos < len(data):
        assert len(data) - pos >= 4, f"partial length word at {pos}"
        (n,) = struct.unpack_from("<I", data, pos)
        if n == 0xFFFFFFFF:
            break
        if n == 0:
            entries.append(None)
            pos += 4
            continue
        assert not n & 0x80000000, f"bad record flag at {pos}"
        record = data[pos + 4 : pos + 4 + n]
        assert len(record) == n, f"record at {pos} cut short"
        pad = n & 1
        if pad:
            assert data[pos + 4 + n : pos + 5 + n] == b"\0", f"pad byte after the record at {pos} is not zero"
        (trailing,) = struct.unpack_from("<I", data, pos + 4 + n + pad)
        assert trailing == n, f"lengths {n} and {trailing} disagree at {pos}"
        entries.append(record)
        pos += 8 + n + pad
    return entries


def expected_entries(contents, block):
    entries = []
    for content in contents:
        for at in range(0, len(content), block):
            entries.append(content[at : at + block].ljust(block, b"\0"))
        entries.append(None)
    return entries


def run(reelfs, *args):
    return subprocess.run([reelfs, *args], capture_output=True, text=True)


def main():
    reelfs, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    rng = random.Random(4)
    files, contents = [], []
    for size in SIZES:
        content = bytes(rng.randrange(1, 256) for _ in range(size))
        path = os.path.join(work, f"file-{size}")
        with open(path, "wb") as f:
            f.write(content)
        files.append(path)
        contents.append(content)

    failures = []
    for block in [10240, 512, 999]:
        image = os.path.join(work, f"b{block}.tap")
        # The global options come before the command and leave mktape's work as it is.
        options = ["--home", work, "-v"] if block == 512 else []
        result = run(reelfs, *options, "mktape", "-b", str(block), "-o", image, *files)
        if result.returncode != 0:
            failures.append(f"-b {block}: exit {result.returncode}: {result.stderr}")
            continue
        got, want = read_tap(image), expected_entries(contents, block)
        if len(got) != len(want):
            failures.append(f"-b {block}: {len(got)} entries read, {len(want)} expected")
        for i, (g, w) in enumerate(zip(got, want)):
            if g != w:
                shape = lambda e: "a mark" if e is None else f"a record of {len(e)} bytes"
                failures.append(f"-b {block}: entry {i} is {shape(g)}, expected {shape(w)} (or its bytes differ)")
                break
        if block == 10240:
            default = os.path.join(work, "default.tap")
            run(reelfs, "mktape", "-o", default, *files)
            with open(default, "rb") as a, open(image, "rb") as b:
                if a.read() != b.read():
                    failures.append("the default block size is not 10240")

    # Usage errors exit 2 and show the usage; failures exit 1 with the host error; neither leaves an image.
    out = os.path.join(work, "refused.tap")
    for args, status, text in [
        ([], 2, "usage: reelfs"),
        (["mktape", "-o", out], 2, "usage: reelfs"),
        (["mktape", files[1]], 2, "no image given"),
        (["mktape", "-b", "0", "-o", out, files[1]], 2, "-b takes a block size"),
        (["mktape", "-b", "10k", "-o", out, files[1]], 2, "-b takes a block size"),
        (["mktape", "-x", "-o", out, files[1]], 2, "unknown option -x"),
        (["--home"], 2, "--home needs a folder"),
        (["tapes"], 2, "unknown command tapes"),
        (["mktape", "-o", out, files[1], os.path.join(work, "missing")], 1, "0xC0000001"),
        (["mktape", "-o", os.path.join(work, "no", "dir.tap"), files[1]], 1, "0xC0000D05: tape image"),
    ]:
        result = run(reelfs, *args)
        if result.returncode != status or text not in result.stderr:
            failures.append(f"{args}: exit {result.returncode}, stderr {result.stderr!r}")
    if os.path.exists(out):
        failures.append("a refused mktape left an image behind")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
