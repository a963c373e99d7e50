#!/usr/bin/env bash
# Runs two build trees (a Qt 5 and a Qt 6 build) on the same zone file and compares the
# files they write byte for byte: the window's settings.ini, its config.ini after the
# start, after reading a scanner and after an edit of a file loaded from outside, the
# zone file it saves, and the zone file areascan-cli reads from a scanner.
#   tests/qtbuilds/compare-builds.sh build build-qt6
# Exit status: 0 all files match, 1 a file differs or is missing, 2 bad arguments.
set -euo pipefail

if [ $# -ne 2 ] || [ ! -d "$1" ] || [ ! -d "$2" ]; then
    echo "usage: $0 BUILD_DIR BUILD_DIR" >&2
    exit 2
fi
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# A zone file in the forms people write by hand: a comment, a key outside the channels,
# spaces around "=", channels from last to first, every region type, negative and
# extreme coordinates, empty areas, one area of 540 vertices, some hysteresis keys left
# out. The settings library rewrites such a file in its own layout.
input=$scratch/zones.ini
awk 'BEGIN {
    print "; zones of the north gate"
    print "[General]"
    print "label = north gate"
    for (c = 63; c >= 0; --c) {
        printf "\n[Channel%d]\n", c
        for (k = 0; k < 3; ++k) {
            n = (c * 3 + k) % 6
            if (c == 7 && k == 2) n = 540
            pts = ""
            for (i = 0; i < n; ++i) {
                x = (c * 997 + k * 131 + i * 53) % 65536 - 32768
                y = (c * 313 + k * 71 + i * 29) % 30000
                if (i == 1 && c == 9) { x = 32767; y = -32768 }
                pts = pts x "," y ","
            }
            eq = (c % 2) ? " = " : "="
            printf "Area%d\\Points%s\"%s\"\n", k, eq, pts
            printf "Area%d\\regionType%s%d\n", k, eq, (c + k) % 7
            printf "Area%d\\dependScale%s%d\n", k, eq, (c * 1021 + k) % 65536
            printf "Area%d\\detectableSize%s%d\n", k, eq, (c + 2 * k) % 256
            printf "Area%d\\onDelay%s%d\n", k, eq, c % 30
            printf "Area%d\\offDelay%s%d\n", k, eq, (c + k) % 30
            if (c % 3) printf "Area%d\\hysteresis%s%d\n", k, eq, (c * 7 + k) % 100
        }
    }
}' >"$input"

# Fills $3 with what build $1 writes; $2 names the build in messages.
write_files() {
    local build=$1 name=$2 out=$3
    mkdir -p "$out/cli"
    if ! QT_QPA_PLATFORM=offscreen "$build/tests/qtbuilds/writefiles" "$input" "$out/window" \
        >"$out/writefiles.log" 2>&1; then
        cat "$out/writefiles.log" >&2
        return 1
    fi
    "$build/sim/areascan-sim" --unpaced --seed 19 --link "$out/port" >/dev/null &
    sim_pid=$!
    for _ in $(seq 100); do [ -e "$out/port" ] && break; sleep 0.05; done
    local cli=("$build/src/cli/areascan-cli" --port "$out/port")
    "${cli[@]}" write-zones "$input" >/dev/null
    "${cli[@]}" read-zones "$out/cli/zones-read.ini" >/dev/null
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
    echo "$name: files written"
}

write_files "$1" "$1" "$scratch/a"
write_files "$2" "$2" "$scratch/b"

files=(window/settings.ini window/config-start.ini window/config-read.ini
    window/config-edited.ini window/zones-saved.ini cli/zones-read.ini)
status=0
for f in "${files[@]}"; do
    a=$scratch/a/$f b=$scratch/b/$f
    # Two empty or truncated files would match as well: each must hold what it is for.
    if [ "$f" = window/settings.ini ]; then
        want='^windowTitle=RZ-KTM$'
    else
        want='^\[Channel63\]$'
    fi
    for file in "$a" "$b"; do
        if [ ! -s "$file" ] || ! grep -q "$want" "$file"; then
            echo "MISSING or incomplete: $file" >&2
            status=1
        fi
    done
    if cmp -s "$a" "$b"; then
        echo "same:    $f ($(wc -c <"$a") bytes)"
    else
        echo "DIFFERS: $f" >&2
        diff -u "$a" "$b" | head -20 >&2 || true
        status=1
    fi
done
exit $status
