#!/usr/bin/env bash
# Scans Tedial tapes that hold, between two sound files, one MXF file of hostile header metadata of each
# shape (bench/make_hostile_mxf.py) at 1 MiB and just under the 32 MiB read at most, and prints for each
# the scan's exit status, peak memory and time, and whether both sound files restore identical. Run under
# an address-space limit of 4 GiB, then of 2 GiB: the hostile file is refused as damaged (exit 1), never
# the process.
# Usage: bench/tedial_hostile_bench.sh [BUILD_DIR]   (default build/bench, configured as a Release build)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/bench}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j3 --target reelfs MxfReelFS >/dev/null
reelfs="$build/bin/reelfs"
sound="$top/tests/fixtures/ffmpeg/tedial.mxf"

work="$(mktemp -d "${TMPDIR:-/tmp}/tedial-hostile.XXXXXX")"
trap 'rm -rf "$work"' EXIT
printf '554362111000\nA\nB\nHostile\nD\n25/12/2020 10:30\n' >"$work/label"

printf '%-8s %10s %8s %6s %10s %8s %s\n' shape bytes limit exit "peak MB" seconds "sound files"
for shape in batches strings uids empty; do
    for size in 1048576 33400000; do
        python3 "$top/bench/make_hostile_mxf.py" "$shape" "$size" "$work/hostile.mxf"
        "$reelfs" mktape -b 65536 -o "$work/t.tap" "$work/label" "$sound" "$work/hostile.mxf" "$sound" >/dev/null
        for limit in 4194304 2097152; do
            rm -rf "$work/home"
            read -r status peak seconds < <(python3 - "$limit" "$reelfs" --home "$work/home" scan "$work/t.tap" <<'PY'
import resource, subprocess, sys, time
limit = int(sys.argv[1]) * 1024
start = time.perf_counter()
done = subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                      preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
seconds = time.perf_counter() - start
print(done.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024, f"{seconds:.2f}")
PY
            )
            # The two sound files share a name; each restores by where it starts.
            name="$("$reelfs" --home "$work/home" ls "$work/t.tap" | awk -F'\t' '$NF ~ /[{]/ {print $NF; exit}')"
            kept=0
            for at in $("$reelfs" --home "$work/home" ls -l "$work/t.tap" | awk -F'\t' '$NF ~ /[{]/ {print $3}'); do
                "$reelfs" --home "$work/home" restore "$work/t.tap" "$name" --at "$at" -o "$work/out" &&
                    head -c "$(stat -c %s "$sound")" "$work/out" | cmp -s - "$sound" && kept=$((kept + 1))
            done
            printf '%-8s %10s %8s %6s %10s %8s %s\n' "$shape" "$(stat -c %s "$work/hostile.mxf")" \
                "$((limit / 1048576)) GiB" "$status" "$peak" "$seconds" "$kept of 2 identical"
        done
    done
done
