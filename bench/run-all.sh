#!/usr/bin/env bash
# Runs every benchmark and prints one table: figure, value, target,
# reference, ratio and whether the target holds, after a line about the
# machine and its load. Each benchmark prints RESULT lines (bench/Result.h);
# when a benchmark reports a figure more than once, its last line counts.
#
#   bench/run-all.sh [BUILD_DIR]      (default build/default; build it first)
# Exit status 1 when a target is missed or a benchmark fails.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/default}
bin=$build/bin
out=$(mktemp "${TMPDIR:-/tmp}/marlo-bench-results.XXXXXX")
trap 'rm -f "$out"' EXIT
failed=0

run() {
    local name=$1
    shift
    echo "== $name" >&2
    # grep finds nothing to show when a benchmark prints only RESULT lines:
    # that is no failure.
    if ! "$@" | tee -a "$out" | { grep -v '^RESULT' >&2 || true; }; then
        echo "!! $name failed" >&2
        failed=1
    fi
}

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
run decode_bench "$bin/decode_bench" --benchmark_min_time=0.5
# One process per memory figure, so that neither reuses what the other freed.
run loadfile_bench "$bin/loadfile_bench" --benchmark_filter=BM_LoadFile
run loadfile_bench "$bin/loadfile_bench" --benchmark_filter=BM_LiveAppend
if [[ -x $bin/listview_bench ]]; then
    run listview_bench "$bin/listview_bench"
else
    echo "== listview_bench not built (no Qt program in this build)" >&2
fi
run pipeline_bench "$bin/pipeline_bench"
run capture-bench "$here/capture-bench.sh" "$bin"
if [[ -x $bin/desktop_capture_bench ]]; then
    run desktop_capture_bench "$bin/desktop_capture_bench"
fi
run analysis_bench "$bin/analysis_bench" --benchmark_filter='CallsAndProblems|OneLiveRecord'
run capture_read_bench "$bin/capture_read_bench"
run registry_bench "$bin/registry_bench" --benchmark_filter=Load64
run dump-bench "$here/dump-bench.sh" "$bin"

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo
echo "Machine: ${cpu:-unknown processor}, $(nproc) cores, $(uname -sr);" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
# Last line per figure, in the order figures first appeared.
awk -F'\t' '
    $1 == "RESULT" {
        if (!($2 in seen)) { order[++n] = $2; seen[$2] = 1 }
        value[$2] = $3; unit[$2] = $4; target[$2] = $5; ref[$2] = $6; ratio[$2] = $7
    }
    function holds(t, v, r,   op, x, lhs) {
        if (t == "-") return "-"
        lhs = (t ~ /^ratio/) ? r : v
        if (lhs == "-") return "?"
        sub(/^(value|ratio)/, "", t)
        op = t; sub(/[0-9.]+$/, "", op); x = substr(t, length(op) + 1) + 0; lhs += 0
        if (op == "<=") return lhs <= x ? "yes" : "NO"
        if (op == "<") return lhs < x ? "yes" : "NO"
        if (op == ">=") return lhs >= x ? "yes" : "NO"
        if (op == ">") return lhs > x ? "yes" : "NO"
        return "?"
    }
    END {
        fmt = "| %-48s | %14s | %-10s | %-36s | %7s | %-4s |\n"
        printf fmt, "Figure", "Value", "Target", "Reference (same run)", "Ratio", "Met"
        printf "|%s|%s|%s|%s|%s|%s|\n", "--------------------------------------------------", "----------------", \
            "------------", "--------------------------------------", "---------", "------"
        bad = 0
        for (i = 1; i <= n; ++i) {
            f = order[i]; h = holds(target[f], value[f], ratio[f])
            if (h == "NO" || h == "?") bad = 1
            r = ratio[f] == "-" ? "-" : ratio[f] "x"
            printf fmt, f, value[f] " " unit[f], target[f], ref[f], r, h
        }
        exit bad
    }' "$out" || failed=1
exit $failed
