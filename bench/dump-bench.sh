#!/usr/bin/env bash
# trctool dump against tshark on the same capture file, in the same run:
#   - 1,000,000 frames of the realistic mix: `trctool dump FILE` (all
#     thirteen cells) against `tshark -r FILE -T fields` with six LAPD and
#     Q.931 fields;
#   - DETAIL_FRAMES frames (default 100,000): `trctool dump --tree --hex`
#     against `tshark -r FILE -V`.
# Output goes to /dev/null; each command runs REPEAT times (default 3; tshark
# runs TSHARK_REPEAT times, default 1) and the best wall time counts.
# Prints RESULT lines (see bench/Result.h).
#
#   bench/dump-bench.sh [BIN_DIR]     (default build/default/bin)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/default/bin}
frames=${FRAMES:-1000000}
detail_frames=${DETAIL_FRAMES:-100000}
repeat=${REPEAT:-3}
tshark_repeat=${TSHARK_REPEAT:-1}

work=$(mktemp -d "${TMPDIR:-/tmp}/marlo-dump-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$bin/bench_make_lapd_pcap" "$work/frames.pcap" "$frames"
"$bin/bench_make_lapd_pcap" "$work/detail.pcap" "$detail_frames"

# Best wall time in seconds of N runs of a command, its output discarded.
best_of() {
    local n=$1 best='' t
    shift
    for ((k = 0; k < n; k++)); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; return 1; }
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
        if [[ -z $best ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    printf '%.4f' "$best"
}

cat "$work/frames.pcap" "$work/detail.pcap" >/dev/null  # both in the page cache

have_tshark=1
command -v tshark >/dev/null || have_tshark=0

ours=$(best_of "$repeat" "$bin/trctool" dump "$work/frames.pcap")
if ((have_tshark)); then
    theirs=$(best_of "$tshark_repeat" tshark -r "$work/frames.pcap" -T fields -e lapd.sapi -e lapd.tei \
        -e lapd.control.ftype -e lapd.control.n_s -e lapd.control.n_r -e q931.message_type)
    ratio=$(awk -v a="$theirs" -v b="$ours" 'BEGIN { print a / b }')
    printf 'RESULT\ttrctool dump, %d frames\t%.3f\ts\tratio>=20\ttshark -T fields (6 fields) %.2f s\t%.2f\n' \
        "$frames" "$ours" "$theirs" "$ratio"
else
    printf 'RESULT\ttrctool dump, %d frames\t%.3f\ts\tratio>=20\ttshark missing\t-\n' "$frames" "$ours"
fi

ours=$(best_of "$repeat" "$bin/trctool" dump --tree --hex "$work/detail.pcap")
if ((have_tshark)); then
    theirs=$(best_of "$tshark_repeat" tshark -r "$work/detail.pcap" -V)
    ratio=$(awk -v a="$theirs" -v b="$ours" 'BEGIN { print a / b }')
    printf 'RESULT\ttrctool dump --tree --hex, %d frames\t%.3f\ts\tratio>=10\ttshark -V %.2f s\t%.2f\n' \
        "$detail_frames" "$ours" "$theirs" "$ratio"
else
    printf 'RESULT\ttrctool dump --tree --hex, %d frames\t%.3f\ts\tratio>=10\ttshark missing\t-\n' \
        "$detail_frames" "$ours"
fi
