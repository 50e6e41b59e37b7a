#!/usr/bin/env bash
# Times the MXF library against mediainfo on the header metadata of 100 MXF files that ffmpeg writes (OP1a,
# 64x64 to 320x240 MPEG-2 video with PCM audio, a fifth of a second to two seconds long), in one run: one
# process of mxf_header_bench reads all of them, one process of mediainfo shows all of them (once plainly and
# once with --Details=1, which shows the sets as the library reads them). Prints the time per file of each
# and their ratio. Needs ffmpeg and mediainfo.
# Usage: bench/mxf_header_bench.sh [BUILD_DIR]   (default build/bench, configured as a Release build)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/bench}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j3 --target mxf_header_bench >/dev/null
bench="$build/bench/mxf_header_bench"

work="$(mktemp -d "${TMPDIR:-/tmp}/mxf-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
sizes=(64x64 128x96 176x144 320x240)
for i in $(seq 0 99); do
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=${sizes[$((i % 4))]}:rate=25" \
        -f lavfi -i sine=frequency=$((200 + i)):sample_rate=48000 -t "$(python3 -c "print(0.2 + ($i % 10) * 0.2)")" \
        -c:v mpeg2video -c:a pcm_s16le -fflags +bitexact -metadata creation_time=2024-03-05T10:20:30Z \
        -f mxf "$work/file$i.mxf"
done
files=("$work"/file*.mxf)
cat "${files[@]}" >/dev/null

# Seconds of a command, its output thrown away: the median of five runs, each to the microsecond.
measure() {
    for run in 1 2 3 4 5; do
        python3 - "$@" <<'PY'
import subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
print(f"{time.perf_counter() - start:.6f}")
PY
    done | sort -n | sed -n 3p
}
per_file() { python3 -c "import sys; print(f'{float(sys.argv[1]) / 100 * 1000:.3f}')" "$1"; }
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.3f}')" "$1" "$2"; }

"$bench" "${files[@]}"
ours=$(measure "$bench" "${files[@]}")
plain=$(measure mediainfo "${files[@]}")
details=$(measure mediainfo --Details=1 "${files[@]}")
echo "mxf_header_bench: $(per_file "$ours") ms per file"
echo "mediainfo: $(per_file "$plain") ms per file; mediainfo --Details=1: $(per_file "$details") ms per file"
echo "library / mediainfo: $(ratio "$ours" "$plain"); library / mediainfo --Details=1: $(ratio "$ours" "$details") (target: at most 0.5)"
