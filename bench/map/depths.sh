#!/usr/bin/env bash
# Seconds of a root-zone map of six layers (--depths, with bulk density and stones) next to a
# single-layer map of the same size and model from the top layer, both on 2 threads, Float32,
# DEFLATE. Rounds are interleaved so that a busy machine slows both alike; each time is the
# whole process. Prints every round, then the median and the range of each and of their ratio.
# Usage: bench/map/depths.sh [SIZE] [ROUNDS]   (default 1000 x 1000, 5 rounds)
# BENCH_BIN=folder takes talvo-map from another build (default build/release/bin).
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-1000}
rounds=${2:-5}
map=$(realpath "${BENCH_BIN:-build/release/bin}")/talvo-map
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench/map/make_layers.py "$work" "$size"
cd "$work"

soil() { echo --sand "sand_$1_mean.tif" --silt "silt_$1_mean.tif" --clay "clay_$1_mean.tif" \
    --oc "soc_$1_mean.tif"; }
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" 2>/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
# shellcheck disable=SC2046 # the file options are words
single() { "$map" --model 1 --soilgrids $(soil 0-5cm) --threads 2 --output one.tif; }
# shellcheck disable=SC2046
layered() {
    "$map" --model 1 --soilgrids --depths 0-5cm,5-15cm,15-30cm,30-60cm,60-100cm,100-200cm \
        $(soil '{depth}') --bd 'bdod_{depth}_mean.tif' --cf 'cfvo_{depth}_mean.tif' \
        --threads 2 --output taw.tif
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
singles=()
layereds=()
for round in $(seq "$rounds"); do
    s=$(seconds single)
    l=$(seconds layered)
    singles+=("$s")
    layereds+=("$l")
    echo "round $round: single layer $s s, six layers $l s, ratio $(echo "scale=2; $l / $s" | bc)"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
# summary NAME UNIT VALUES...
summary() { printf '%s\n' "${@:3}" | sort -n | awk -v name="$1" -v unit="$2" '{ v[NR] = $1 }
    END { printf "%s: median %.2f%s, range %.2f-%.2f%s\n", name, v[int((NR + 1) / 2)], unit,
          v[1], v[NR], unit }'; }
summary "single layer" " s" "${singles[@]}"
summary "six layers" " s" "${layereds[@]}"
ratios=()
for i in "${!singles[@]}"; do
    ratios+=("$(echo "scale=3; ${layereds[$i]} / ${singles[$i]}" | bc)")
done
summary "ratio" "" "${ratios[@]}"
