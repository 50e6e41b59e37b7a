#!/usr/bin/env bash
# Times the scan of a Tedial tape whose one MXF file holds MIB mebibytes of header metadata in small sets
# (packages of 40 bytes, as a hostile file may hold them), written in blocks of 64, 256, 512, 4096 and
# 65536 bytes. The tape view reads the header a block at a time through its cache, which at small blocks
# holds over a hundred thousand of them: the time per header byte should not grow as the blocks shrink.
# Prints, for each block size, the scan's seconds, nanoseconds per header byte and peak memory, then the
# slowest time per byte against the fastest. Each such set takes some 2 KiB of memory once read and named,
# so past some 8 MiB of them a file passes the memory budget of its metadata and is refused as damaged
# (the scan exits 1, which the timing does not take); the default size stays within it.
# Usage: bench/tedial_block_size_bench.sh [BUILD_DIR] [MIB]   (default build/bench, a Release build; 4)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/bench}"
mib="${2:-4}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j3 --target reelfs MxfReelFS small_sets_mxf >/dev/null
reelfs="$build/bin/reelfs"

work="$(mktemp -d "${TMPDIR:-/tmp}/tedial-blocks.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$build/bench/small_sets_mxf" $((mib << 20)) "$work/sets.mxf" >/dev/null
printf '554362111000\nA\nB\nBench\nD\n05/03/2024 10:20\n' >"$work/label"
bytes=$(stat -c %s "$work/sets.mxf")

. "$top/bench/measure.sh"

echo "header metadata of $bytes bytes in small sets"
printf '%8s %10s %14s %12s\n' block seconds "ns/byte" "peak KiB"
fastest="" slowest=""
for block in 64 256 512 4096 65536; do
    "$reelfs" mktape -b "$block" -o "$work/t$block.tap" "$work/label" "$work/sets.mxf" >/dev/null
    cat "$work/t$block.tap" >/dev/null
    read -r seconds kb < <(measure "$reelfs" --home "$work/home$block-{run}" scan "$work/t$block.tap")
    per=$(python3 -c "import sys; print(f'{float(sys.argv[1]) * 1e9 / int(sys.argv[2]):.1f}')" "$seconds" "$bytes")
    printf '%8s %10s %14s %12s\n' "$block" "$seconds" "$per" "$kb"
    fastest=$(python3 -c "import sys; print(min(float(a) for a in sys.argv[1:] if a))" "$per" "$fastest")
    slowest=$(python3 -c "import sys; print(max(float(a) for a in sys.argv[1:] if a))" "$per" "$slowest")
    rm -rf "$work"/home"$block"-*
done
echo "slowest / fastest time per header byte: $(ratio "$slowest" "$fastest") (target: close to 1)"
