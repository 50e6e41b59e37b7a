#!/usr/bin/env bash
# Times reelfs against its peers on generic TAR tapes, in one run:
# - the scan of a tape holding 100,000 small files against `tar -tvf` of the same archive;
# - the restore of a 2 GiB file against `cat` of the tape image to /dev/null (both read the whole file's
#   bytes from the image and throw them away), and once more into a real file;
# - the restore's peak memory for a 2 GiB file against that for a 64 MiB one (it must not grow).
# Usage: bench/tar_tape_bench.sh [BUILD_DIR]   (default build/bench, configured as a Release build)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build/bench}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target reelfs >/dev/null
reelfs="$build/bin/reelfs"

work="$(mktemp -d "${TMPDIR:-/tmp}/reelfs-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
home="$work/home"

. "$top/bench/measure.sh"

echo "== scan of 100,000 small files"
python3 - "$work/small" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(100):
    folder = os.path.join(root, f"project{d % 7}", f"reel{d:03}")
    os.makedirs(folder, exist_ok=True)
    for f in range(1000):
        with open(os.path.join(folder, f"clip{f:04}.txt"), "w") as out:
            out.write(f"clip {d} {f}\n" * (1 + f % 5))
PY
(cd "$work/small" && tar -cf "$work/small.tar" project*)
"$reelfs" mktape -o "$work/small.tap" "$work/small.tar" >/dev/null
cat "$work/small.tar" "$work/small.tap" >/dev/null
read -r tar_s tar_kb < <(measure tar -tvf "$work/small.tar")
# Each run takes the tape in afresh, as a host that has not seen it does.
read -r scan_s scan_kb < <(measure "$reelfs" --home "$home-scan{run}" scan "$work/small.tap")
files=$("$reelfs" --home "$home-scan1" ls "$work/small.tap" | wc -l)
echo "tar -tvf: ${tar_s} s; reelfs scan: ${scan_s} s, ${scan_kb} KiB peak, ${files} files catalogued"
echo "scan / tar -tvf: $(ratio "$scan_s" "$tar_s") (target: at most 2)"
rm -rf "$work/small" "$work/small.tar"

echo "== restore of a 2 GiB file"
mkdir -p "$work/big"
head -c 64M /dev/urandom >"$work/big/medium.bin"
head -c 2G /dev/urandom >"$work/big/big.bin"
tar -C "$work/big" -cf "$work/big.tar" medium.bin big.bin
rm -f "$work/big/medium.bin"
"$reelfs" mktape -o "$work/big.tap" "$work/big.tar" >/dev/null
rm -f "$work/big.tar"
"$reelfs" --home "$home" scan "$work/big.tap" >/dev/null
cat "$work/big.tap" >/dev/null
read -r cat_s cat_kb < <(measure cat "$work/big.tap")
read -r null_s null_kb < <(measure "$reelfs" --home "$home" restore "$work/big.tap" 0/big.bin -o /dev/null)
read -r file_s file_kb < <(measure "$reelfs" --home "$home" restore "$work/big.tap" 0/big.bin -o "$work/restored")
read -r small_s small_kb < <(measure "$reelfs" --home "$home" restore "$work/big.tap" 0/medium.bin -o /dev/null)
read -r mount_s mount_kb < <(measure "$reelfs" --home "$home" restore "$work/big.tap" 0/big.bin --offset 0 --length 1 \
    -o /dev/null)
cmp "$work/big/big.bin" "$work/restored"
image_mb=$(($(stat -c %s "$work/big.tap") / 1048576))
echo "cat of the image: ${cat_s} s ($(ratio "$image_mb" "$cat_s") MiB/s)"
echo "restore to /dev/null: ${null_s} s ($(ratio 2048 "$null_s") MiB/s, ${null_kb} KiB peak)"
echo "restore to a file: ${file_s} s ($(ratio 2048 "$file_s") MiB/s, ${file_kb} KiB peak), identical"
echo "restore of 64 MiB: ${small_kb} KiB peak"
echo "restore of 1 byte: ${mount_s} s (the mount, from the index kept when the tape was scanned)"
echo "restore / cat throughput: $(ratio "$(ratio 2048 "$null_s")" "$(ratio "$image_mb" "$cat_s")") (target: at least 0.8)"
