#!/usr/bin/env bash
# Runs every fuzz target for a short fixed number of runs on its seed corpus
# (fuzz/corpus/<target>); any crash, leak or sanitizer report fails, and so
# does one input that takes longer than 20 s (a hang).
# Usage: fuzz/run-short.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: run-short.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
runs=${MARLOTRC_FUZZ_RUNS:-200000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for seeds in "$here"/corpus/*/; do
    target=fuzz_$(basename "$seeds")
    binary=$build/bin/$target
    if [ ! -x "$binary" ]; then
        echo "missing fuzz target $binary" >&2
        exit 1
    fi
    mkdir -p "$work/$target"
    echo "=== $target: $runs runs"
    # New inputs go to the scratch folder; the committed seeds stay untouched.
    if ! "$binary" -runs="$runs" -max_len=400 -max_total_time=50 -timeout=20 -print_final_stats=1 \
            -artifact_prefix="$work/$target/" "$work/$target" "$seeds" 2>"$work/$target.log"; then
        tail -n 60 "$work/$target.log" >&2
        echo "fuzz target $target failed" >&2
        status=1
    else
        grep -E 'stat::number_of_executed_units|Done' "$work/$target.log" || true
    fi
done
exit $status
