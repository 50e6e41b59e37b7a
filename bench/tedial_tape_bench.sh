#!/usr/bin/env bash
# Times reelfs against mediainfo on a Tedial tape of 50 MXF files that ffmpeg writes (OP1a, MPEG-2 video
# with PCM audio, each with instance UIDs of its own), in one run: the scan of the tape (names and dates from
# each file's header metadata) against one process of mediainfo showing the same 50 files. Then the scan's
# peak memory for 50 files against that for 200 (it must not grow with the files). Needs ffmpeg, mediainfo.
# Usage: bench/tedial_tape_bench.sh [BUILD_DIR]   (default build/bench, configured as a Release build)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/bench}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j3 --target reelfs MxfReelFS >/dev/null
reelfs="$build/bin/reelfs"

work="$(mktemp -d "${TMPDIR:-/tmp}/tedial-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=48000 -t 1 -c:v mpeg2video -c:a pcm_s16le \
    -fflags +bitexact -metadata creation_time=2024-03-05T10:20:30Z -f mxf "$work/clip.mxf"
# Bit-exact output writes the same instance UIDs into every file: each copy's are set apart by the last two
# bytes of their common prefix.
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
data = open(f"{work}/clip.mxf", "rb").read()
prefix = bytes.fromhex("adab44242f254dc792ff")
assert prefix in data
for number in range(200):
    open(f"{work}/file{number:03}.mxf", "wb").write(data.replace(prefix, prefix[:-2] + number.to_bytes(2, "big")))
PY
printf '554362111000\nA\nB\nBench\nD\n05/03/2024 10:20\n' >"$work/label"
files50=("$work"/file0[0-4]*.mxf)
files200=("$work"/file*.mxf)
"$reelfs" mktape -b 65536 -o "$work/t50.tap" "$work/label" "${files50[@]}" >/dev/null
"$reelfs" mktape -b 65536 -o "$work/t200.tap" "$work/label" "${files200[@]}" >/dev/null
cat "$work"/*.tap "${files200[@]}" >/dev/null

. "$top/bench/measure.sh"

# Each scan takes the tape in afresh, as a host that has not seen it does.
read -r scan_s scan_kb < <(measure "$reelfs" --home "$work/home50-{run}" scan "$work/t50.tap")
read -r info_s info_kb < <(measure mediainfo "${files50[@]}")
read -r big_s big_kb < <(measure "$reelfs" --home "$work/home200-{run}" scan "$work/t200.tap")
listed=$("$reelfs" --home "$work/home50-1" ls "$work/t50.tap" | wc -l)
echo "reelfs scan of 50 files: ${scan_s} s, ${scan_kb} KiB peak, ${listed} files catalogued"
echo "mediainfo of the 50 files: ${info_s} s, ${info_kb} KiB peak"
echo "scan / mediainfo: $(ratio "$scan_s" "$info_s") (target: at most 1.0)"
echo "reelfs scan of 200 files: ${big_s} s, ${big_kb} KiB peak; peak 200 / 50: $(ratio "$big_kb" "$scan_kb")"
