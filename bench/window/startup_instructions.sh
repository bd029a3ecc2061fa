#!/usr/bin/env bash
# Start-up instructions of the calculator beside a bare Qt window, counted by callgrind, which
# gives the same count whatever else the machine is doing. Each program runs in its own
# virtual X server; the count stops when its window has been mapped and painted (callgrind's
# dump), and the program is then closed. Prints both counts and their ratio.
#   bench/window/startup_instructions.sh [RUNS]   (default 3; the median is reported)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-3}

if [ "${1:-}" = --count ]; then
    # Inside the X server: count one program's start-up, print the instructions.
    program=$2 title=$3 out=$4
    valgrind --tool=callgrind --callgrind-out-file="$out.%p" --dump-instr=no \
        --collect-atstart=yes "$program" >/dev/null 2>&1 &
    pid=$!
    xdotool search --sync --onlyvisible --name "$title" >/dev/null
    sleep 2 # painted and idle
    callgrind_control --dump=startup "$pid" >/dev/null 2>&1
    sleep 1
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    # The first dump is the start-up; the second, at the end, holds the rest.
    grep -h '^summary:' "$(ls "$out".*.1 2>/dev/null | head -n1)" | awk '{print $2}'
    rm -f "$out".*
    exit
fi

cmake --preset bench -DTALVO_BUILD_PYTHON=OFF -DTALVO_BUILD_MAP=OFF >/dev/null
cmake --build --preset bench --target talvo bare_qt_window >/dev/null
bin=build/bench/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count() {
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --count "$1" "$2" "$work/$3"
}
median() {
    sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}
bare=() talvo=()
for ((i = 0; i < runs; ++i)); do
    # Interleaved, so that both programs see the same state of the machine's fonts and caches.
    bare+=("$(count "$bin/bare_qt_window" '^Bare$' bare)")
    talvo+=("$(count "$bin/talvo" '^TALVO Soil Moisture Calculator$' talvo)")
done
bare_median=$(printf '%s\n' "${bare[@]}" | median)
talvo_median=$(printf '%s\n' "${talvo[@]}" | median)
echo "bare Qt window: ${bare[*]} instructions (median $bare_median)"
echo "talvo:          ${talvo[*]} instructions (median $talvo_median)"
awk -v t="$talvo_median" -v b="$bare_median" 'BEGIN {printf "ratio: %.3f\n", t / b}'
