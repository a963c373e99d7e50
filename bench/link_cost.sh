#!/usr/bin/env bash
# Cost of the link while the scanner streams: starts the simulated scanner (paced at the
# real 921600 baud, 25 scans per second) and the tool offscreen, connected to it, and
# prints the tool's CPU time over 20 s of wall time as a share of one core, and its
# resident memory at 5 s and at 20 s.
#   bench/link_cost.sh [build-dir]
set -euo pipefail
BUILD=${1:-build}
SIM="$BUILD/sim/areascan-sim"
STUDIO="$BUILD/src/app/areascan-studio"
[ -x "$SIM" ] && [ -x "$STUDIO" ] || { echo "build first: $SIM and $STUDIO are needed" >&2; exit 2; }
STUDIO=$(realpath "$STUDIO")

WORK=$(mktemp -d)
LINK="$WORK/scanner"
cleanup() {
    kill "${STUDIO_PID:-}" "${SIM_PID:-}" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

"$SIM" --link "$LINK" >"$WORK/sim.log" 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do [ -e "$LINK" ] && break; sleep 0.1; done
[ -e "$LINK" ] || { echo "the simulated scanner did not start" >&2; cat "$WORK/sim.log" >&2; exit 1; }

TICKS=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

(cd "$WORK" && exec env QT_QPA_PLATFORM=offscreen "$STUDIO" --port "$LINK" --connect) \
    >"$WORK/studio.log" 2>&1 &
STUDIO_PID=$!
START_TICKS=$(cpu_ticks "$STUDIO_PID")
START=$(date +%s.%N)
sleep 5
RSS5=$(rss_kib "$STUDIO_PID")
sleep 15
END=$(date +%s.%N)
END_TICKS=$(cpu_ticks "$STUDIO_PID")
RSS20=$(rss_kib "$STUDIO_PID")

# The tool logs a successful open; without it the figures would measure an idle window.
if grep -q "打开串口成功" "$WORK/studio.log"; then echo "tool connected to $LINK"; else
    echo "the tool did not connect; its log:" >&2; cat "$WORK/studio.log" >&2; exit 1; fi
awk -v t0="$START" -v t1="$END" -v c0="$START_TICKS" -v c1="$END_TICKS" -v hz="$TICKS" \
    -v r5="$RSS5" -v r20="$RSS20" 'BEGIN {
    wall = t1 - t0; cpu = (c1 - c0) / hz;
    printf "wall time            %.1f s\n", wall;
    printf "tool CPU time        %.2f s  (%.1f %% of one core)\n", cpu, 100 * cpu / wall;
    printf "resident memory  5 s %d KiB\n", r5;
    printf "resident memory 20 s %d KiB  (%+d KiB)\n", r20, r20 - r5;
}'
