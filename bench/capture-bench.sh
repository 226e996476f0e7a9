#!/usr/bin/env bash
# trctool capture from the emulated card at its full speed (rate=0), end to
# end, the records printed to a file:
#   - `capture -q -w FILE --seconds SECONDS` (default 5): records kept per
#     second of the whole run, how long the run went on past SECONDS (the
#     stop), and whether every record kept was printed and every printed
#     one kept;
#   - the same capture ended by SIGINT (Ctrl-C) after SECONDS: how long the
#     process took to end after the signal;
#   - resident memory of a capture of MEM_SECONDS (default 30), sampled
#     every second: its growth from the first third to the end, per minute
#     (10 minutes at that growth would add ten times as much).
# Each capture runs REPEAT times (default 3); the best rate and the worst
# stop count, and the spread is printed. Prints RESULT lines (see
# bench/Result.h).
#
#   bench/capture-bench.sh [BIN_DIR]     (default build/default/bin)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# Absolute, since the benchmark works in a folder of its own.
bin=$(cd "${1:-$here/../build/default/bin}" && pwd)
seconds=${SECONDS_RUN:-5}
mem_seconds=${MEM_SECONDS:-30}
repeat=${REPEAT:-3}
export ORINTPX_EMULATOR=rate=0

work=$(mktemp -d "${TMPDIR:-/tmp}/marlo-capture-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

now() { date +%s.%N; }
calc() { awk "BEGIN { print $* }"; }
max() { awk -v a="$1" -v b="$2" 'BEGIN { m = a + 0; if (b + 0 > m) m = b + 0; print m }'; }

best_rate=0 worst_stop=0 worst_signal_stop=0 rates='' stops='' signal_stops='' mismatch=0
for ((k = 0; k < repeat; k++)); do
    rm -f a.log out.txt
    start=$(now)
    "$bin/trctool" capture -q -w a.log --seconds "$seconds" >out.txt
    end=$(now)
    kept=$("$bin/trctool" dump a.log | wc -l)
    printed=$(wc -l <out.txt)
    [[ $kept == "$printed" ]] || mismatch=1
    # The printed lines are the file's records, in order.
    cmp -s <("$bin/trctool" dump a.log | cut -f1) <(cut -f1 out.txt) || mismatch=1
    rate=$(calc "$kept / ($end - $start)")
    stop=$(calc "($end - $start - $seconds) * 1000")
    rates+="$(printf '%.0f ' "$rate")"
    stops+="$(printf '%.0f ' "$stop")"
    best_rate=$(max "$rate" "$best_rate")
    worst_stop=$(max "$stop" "$worst_stop")

    rm -f b.log out.txt
    "$bin/trctool" capture -q -w b.log >out.txt &
    pid=$!
    sleep "$seconds"
    signalled=$(now)
    kill -INT "$pid"
    wait "$pid" || true
    end=$(now)
    stop=$(calc "($end - $signalled) * 1000")
    signal_stops+="$(printf '%.0f ' "$stop")"
    worst_signal_stop=$(max "$stop" "$worst_signal_stop")
    [[ $("$bin/trctool" dump b.log | wc -l) == "$(wc -l <out.txt)" ]] || mismatch=1
done
echo "capture rates (records/s): $rates; --seconds stops (ms): $stops; Ctrl-C stops (ms): $signal_stops" >&2

printf 'RESULT\ttrctool capture -q at full speed, end to end\t%.0f\trecords/s\tvalue>=150000\t-\t-\n' "$best_rate"
printf 'RESULT\ttrctool capture --seconds %s, run past the time\t%.0f\tms\tvalue<1000\t-\t-\n' "$seconds" "$worst_stop"
printf 'RESULT\ttrctool capture, Ctrl-C after %s s to its end\t%.0f\tms\tvalue<1000\t-\t-\n' "$seconds" "$worst_signal_stop"
printf 'RESULT\ttrctool capture, records printed but not kept or kept but not printed\t%d\truns\tvalue<=0\t-\t-\n' "$mismatch"

# Memory: resident kilobytes once a second.
rm -f c.log
"$bin/trctool" capture -q -w c.log --seconds "$mem_seconds" >/dev/null &
pid=$!
samples=()
while kill -0 "$pid" 2>/dev/null; do
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    [[ -n $rss ]] && samples+=("$rss")
    sleep 1
done
wait "$pid" || true
n=${#samples[@]}
if ((n >= 6)); then
    first=${samples[$((n / 3))]}
    last=${samples[$((n - 2))]}
    span=$(calc "($n - 2 - $n / 3)")
    growth=$(calc "($last - $first) * 60 / $span")
    echo "resident KB, one a second: ${samples[*]}" >&2
    printf 'RESULT\ttrctool capture at full speed, resident growth\t%.0f\tKB/min\tvalue<1024\t-\t-\n' "$growth"
fi
