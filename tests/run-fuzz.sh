#!/bin/sh
# Runs a fuzz target for REELFS_FUZZ_SECONDS seconds (20 when unset), read when the test runs; the
# remaining arguments go to the target.
target="$1"
shift
exec "$target" -max_total_time="${REELFS_FUZZ_SECONDS:-20}" "$@"
