#!/usr/bin/env bash
# Sweeps GNU tar multi-volume sets whose first volume ends at or near the end of a member: for 30 and 40
# KiB volumes, records of 10240 and 512 bytes, and a first file whose data end from five blocks before the
# volume's end to one block past it (the smallest and largest size of each block count), then a small
# file after it. Each volume is written to a tape with `reelfs mktape -b RECORD`, scanned, and named as
# the continuation of the one before (`reelfs set NextVolume=`); every member is restored (with `--with`)
# and compared with what `tar -xM` extracts. A volume of zero blocks alone may stay unrecognised, as no
# file lies on it. Prints one line per set and how many failed.
# Usage: bench/gnutar_volume_end_sweep.sh [REELFS [FORMAT...]]   (default build/dev/bin/reelfs, gnu oldgnu)
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
reelfs=${1:-$top/build/dev/bin/reelfs}
shift || true
formats=("$@")
[ ${#formats[@]} -eq 0 ] && formats=(gnu oldgnu)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sets=0
failed=0
for format in "${formats[@]}"; do for length in 30 40; do
    volume=$((length * 2)) # blocks of 512 bytes
    for factor in 20 1; do
        record=$((factor * 512))
        for n in $(seq $((volume - 5)) $((volume + 1))); do
            for size in $(((n - 1) * 512 + 1)) $((n * 512)); do
                set_dir=$work/$format-$length-$factor-$size
                mkdir -p "$set_dir/src" "$set_dir/ref" "$set_dir/out"
                head -c "$size" /dev/urandom >"$set_dir/src/big.bin"
                printf 'after\n' >"$set_dir/src/after.txt"
                names=()
                for i in 1 2 3 4; do names+=(-f "$set_dir/v$i.tar"); done
                (cd "$set_dir/src" && tar --format="$format" -M --tape-length="$length" -b "$factor" -c \
                    "${names[@]}" big.bin after.txt </dev/null 2>/dev/null)
                volumes=()
                for i in 1 2 3 4; do [ -s "$set_dir/v$i.tar" ] && volumes+=("$set_dir/v$i"); done
                (cd "$set_dir/ref" && tar -xM $(for v in "${volumes[@]}"; do echo -f "$v.tar"; done) \
                    </dev/null 2>/dev/null)
                home=$set_dir/home
                problem=""
                scanned=()
                for v in "${volumes[@]}"; do
                    "$reelfs" --home "$home" mktape -b "$record" -o "$v.tap" "$v.tar" >/dev/null 2>&1
                    if out=$("$reelfs" --home "$home" scan "$v.tap" 2>&1); then
                        scanned+=("$v")
                    else
                        # A volume of nothing but zero blocks holds no file: it may stay unrecognised.
                        if [ -n "$(tr -d '\0' <"$v.tar" | head -c 1)" ]; then
                            problem+=" scan $(basename "$v"): $(echo "$out" | grep reelfs: | head -1)"
                        fi
                    fi
                done
                # Each volume names the next one scanned; a volume of zero blocks alone is left out.
                volumes=("${scanned[@]}")
                for ((i = 0; i + 1 < ${#volumes[@]}; i++)); do
                    next=$("$reelfs" --home "$home" volumes 2>/dev/null | awk -F'\t' -v img="${volumes[i + 1]}.tap" '$4 == img { print $1 }')
                    "$reelfs" --home "$home" set "${volumes[i]}.tap" "NextVolume=$next" >/dev/null 2>&1
                done
                for member in big.bin after.txt; do
                    restored=""
                    for ((i = 0; i < ${#volumes[@]}; i++)); do
                        if "$reelfs" --home "$home" ls "${volumes[i]}.tap" 2>/dev/null | cut -f3 | grep -qx "0/$member"; then
                            with=()
                            for ((j = i + 1; j < ${#volumes[@]}; j++)); do with+=(--with "${volumes[j]}.tap"); done
                            "$reelfs" --home "$home" restore "${volumes[i]}.tap" "0/$member" -o "$set_dir/out/$member" \
                                "${with[@]}" >/dev/null 2>&1 && cmp -s "$set_dir/out/$member" "$set_dir/ref/$member" && restored=yes
                            break
                        fi
                    done
                    [ -z "$restored" ] && problem+=" restore $member"
                done
                sets=$((sets + 1))
                if [ -n "$problem" ]; then
                    failed=$((failed + 1))
                    echo "FAIL $format length=$length b=$factor size=$size (blocks $n, volumes ${#volumes[@]}):$problem"
                else
                    echo "ok   $format length=$length b=$factor size=$size (blocks $n, volumes ${#volumes[@]})"
                fi
                rm -rf "$set_dir"
            done
        done
    done
done; done
echo "$failed of $sets sets failing"
