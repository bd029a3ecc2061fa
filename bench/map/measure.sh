#!/usr/bin/env bash
# Cells per second of talvo-map (model 0, 2 threads) next to gdal_calc.py computing the same
# model-0 equations on the same int16 rasters, and 4 tiles against one run; peak memory from
# /usr/bin/time -v. Rounds are interleaved so that a busy machine slows every tool alike, and
# each ratio is also taken round by round, from runs seconds apart; the load average before
# and after says how busy the machine was. Each time is the whole process, start to exit:
# loading GDAL (and Python for gdal_calc.py), reading, computing, compressing, writing.
# Usage: bench/map/measure.sh [SIZE] [ROUNDS]   (default 4000 x 4000, 5 rounds), after
#   cmake --preset bench -DTALVO_BUILD_WINDOW=OFF && cmake --build --preset bench --target talvo-map
# BENCH_BIN=folder takes talvo-map from another build, such as build/release/bin.
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-4000}
rounds=${2:-5}
map=$(realpath "${BENCH_BIN:-build/bench/bin}")/talvo-map
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench/map/make_soils.py "$work" "$size"
cd "$work"

# Both write Float32, tiled, DEFLATE level 1; talvo-map five bands, gdal_calc.py three.
S="(A/10.0)"
C="(B/10.0)"
FC="((29.79202-0.26349*$S)+0.20657*$C)"
PWP="(((5.04007-0.03849*$S)+0.23203*$C)-(0.00057*$S)*$C)"
AWC="(($FC-$PWP)/100)*1.49*150"

# measure NAME COMMAND...: one line "NAME wall_s cpu_s peak_kib"
measure() {
    local name=$1
    shift
    /usr/bin/time -v -o time.txt "$@" > /dev/null 2>> log.txt
    awk -v n="$name" -F': ' '
        /Elapsed \(wall clock\)/ { k = split($2, t, ":"); wall = (k == 3) ? t[1]*3600 + t[2]*60 + t[3] : t[1]*60 + t[2] }
        /User time/ { cpu += $2 } /System time/ { cpu += $2 }
        /Maximum resident/ { kib = $2 }
        END { printf "%s %.3f %.3f %d\n", n, wall, cpu, kib }' time.txt >> results.txt
}

tiles() {
    for i in 1 2 3 4; do
        "$map" --model 0 --sand sand.tif --clay clay.tif --soilgrids --threads 2 --tile "$i/4" \
            --output "part$i.tif"
    done
    gdalbuildvrt -q tiles.vrt part1.tif part2.tif part3.tif part4.tif
}

load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
for round in $(seq "$rounds"); do
    measure talvo-map "$map" --model 0 --sand sand.tif --clay clay.tif --soilgrids --threads 2 \
        --output map.tif
    measure gdal_calc gdal_calc.py --quiet --overwrite -A sand.tif -B clay.tif --outfile=calc.tif \
        --type=Float32 --co TILED=YES --co COMPRESS=DEFLATE --co ZLEVEL=1 --NoDataValue=-9999 \
        --calc="$FC" --calc="$PWP" --calc="$AWC"
    export -f tiles
    export map
    measure 4-tiles bash -c tiles
    echo "round $round done" >&2
done

echo "load average (1, 5, 15 min) on $(nproc) cores: before $load_before," \
    "after $(cut -d ' ' -f 1-3 /proc/loadavg)"
/usr/bin/python3 - "$size" results.txt <<'PY'
import statistics, sys
cells = int(sys.argv[1]) ** 2
runs = {}
for line in open(sys.argv[2]):
    name, wall, cpu, kib = line.split()
    runs.setdefault(name, []).append((float(wall), float(cpu), int(kib)))
print(f"{cells} cells, {len(runs['talvo-map'])} interleaved rounds; median [min - max]")
for name, values in runs.items():
    wall = [v[0] for v in values]
    cpu = [v[1] for v in values]
    kib = max(v[2] for v in values)
    rate = [cells / w / 1e6 for w in wall]
    print(f"{name:10} wall {statistics.median(wall):6.2f} s [{min(wall):.2f} - {max(wall):.2f}]"
          f"  {statistics.median(rate):5.2f} M cells/s  cpu {statistics.median(cpu):6.2f} s"
          f" [{min(cpu):.2f} - {max(cpu):.2f}]  peak {kib / 1024:.0f} MiB")
ratio = lambda a, b, i: statistics.median(v[i] for v in runs[a]) / statistics.median(v[i] for v in runs[b])
print(f"gdal_calc / talvo-map: wall {ratio('gdal_calc', 'talvo-map', 0):.2f}x, "
      f"cpu {ratio('gdal_calc', 'talvo-map', 1):.2f}x; "
      f"4 tiles / one run: wall {ratio('4-tiles', 'talvo-map', 0):.2f}x")
for other in ("gdal_calc", "4-tiles"):
    paired = sorted(a[0] / b[0] for a, b in zip(runs[other], runs["talvo-map"]))
    print(f"{other} / talvo-map, round by round: wall {statistics.median(paired):.2f}x "
          f"[{paired[0]:.2f} - {paired[-1]:.2f}]")
PY
