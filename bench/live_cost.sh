#!/usr/bin/env bash
# Cost of the live pages: the tool on a virtual X display (Xvfb), connected to the
# simulated scanner paced at the real 921600 baud and 25 scans per second, with the
# RunningStatus tab shown, so every scan is drawn and every status message shown.
# Prints the tool's CPU time over the run as a share of one core and its resident
# memory at 10 s and at the end.
#   bench/live_cost.sh [build-dir] [seconds, default 60]
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
BUILD=${1:-build}
SECONDS_TOTAL=${2:-60}
SIM="$BUILD/sim/areascan-sim"
STUDIO="$BUILD/src/app/areascan-studio"
[ -x "$SIM" ] && [ -x "$STUDIO" ] || { echo "build first: $SIM and $STUDIO are needed" >&2; exit 2; }
[ "$SECONDS_TOTAL" -gt 10 ] || { echo "the run must last more than 10 s" >&2; exit 2; }
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

(cd "$WORK" && exec "$STUDIO" --port "$LINK" --connect --tab status) >"$WORK/studio.log" 2>&1 &
STUDIO_PID=$!
START_TICKS=$(cpu_ticks "$STUDIO_PID")
START=$(date +%s.%N)
sleep 10
RSS10=$(rss_kib "$STUDIO_PID")
sleep $((SECONDS_TOTAL - 10))
END=$(date +%s.%N)
END_TICKS=$(cpu_ticks "$STUDIO_PID")
RSSEND=$(rss_kib "$STUDIO_PID")

# The tool logs a successful open; without it the figures would measure an idle window.
if grep -q "打开串口成功" "$WORK/studio.log"; then echo "tool connected to $LINK on $DISPLAY"; else
    echo "the tool did not connect; its log:" >&2; cat "$WORK/studio.log" >&2; exit 1; fi
awk -v t0="$START" -v t1="$END" -v c0="$START_TICKS" -v c1="$END_TICKS" -v hz="$TICKS" \
    -v r10="$RSS10" -v rend="$RSSEND" -v secs="$SECONDS_TOTAL" 'BEGIN {
    wall = t1 - t0; cpu = (c1 - c0) / hz;
    printf "wall time             %.1f s\n", wall;
    printf "tool CPU time         %.2f s  (%.1f %% of one core)\n", cpu, 100 * cpu / wall;
    printf "resident memory 10 s  %d KiB\n", r10;
    printf "resident memory %2d s  %d KiB  (%+d KiB)\n", secs, rend, rend - r10;
}'
