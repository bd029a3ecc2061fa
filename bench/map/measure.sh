#!/usr/bin/env bash
# Cells per second of talvo-map (model 0, 2 threads) next to gdal_calc.py computing the same
# model-0 equations on the same int16 rasters: Float32 with DEFLATE, and Int16 hundredths (scale
# 0.01) with DEFLATE and with ZSTD, each tool with the same creation options; 4 tiles against
# one run; peak memory from /usr/bin/time -v; the files' sizes. Rounds are interleaved so that
# a busy machine slows every tool alike, and each ratio is also taken round by round, from runs
# seconds apart; the load average before and after says how busy the machine was. Each time is
# the whole process, start to exit: loading GDAL (and Python for gdal_calc.py), reading,
# computing, compressing, writing.
# Usage: bench/map/measure.sh [SIZE] [ROUNDS]   (default 4000 x 4000, 5 rounds), after
#   cmake --preset bench -DTALVO_BUILD_WINDOW=OFF && cmake --build --preset bench --target talvo-map
# BENCH_BIN=folder takes talvo-map from another build, such as build/release/bin.
set -euo pipefail
cd "$(dirname "$0")/../.."
size=${1:-4000}
rounds=${2:-5}
map=$(realpath "${BENCH_BIN:-build/bench/bin}")/talvo-map
peer=$(realpath bench/map/peer.sh)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench/map/make_soils.py "$work" "$size"
cd "$work"

# Both write tiled files with level 1 and the same predictor; talvo-map five bands,
# gdal_calc.py three.

# measure NAME COMMAND...: one line "NAME wall_s cpu_s peak_kib bytes", the bytes of the file
# $out_file names; COMMAND may be one of the functions here, all run through bash alike.
measure() {
    local name=$1
    shift
    /usr/bin/time -v -o time.txt bash -c '"$@"' _ "$@" > /dev/null 2>> log.txt
    local out=${out_file:-/dev/null}
    awk -v n="$name" -v bytes="$(stat -c %s "$out" 2> /dev/null || echo 0)" -F': ' '
        /Elapsed \(wall clock\)/ { k = split($2, t, ":"); wall = (k == 3) ? t[1]*3600 + t[2]*60 + t[3] : t[1]*60 + t[2] }
        /User time/ { cpu += $2 } /System time/ { cpu += $2 }
        /Maximum resident/ { kib = $2 }
        END { printf "%s %.3f %.3f %d %d\n", n, wall, cpu, kib, bytes }' time.txt >> results.txt
}

tiles() {
    for i in 1 2 3 4; do
        "$map" --model 0 --sand sand.tif --silt silt.tif --clay clay.tif --soilgrids --threads 2 \
            --tile "$i/4" --output "part$i.tif"
    done
    gdalbuildvrt -q tiles.vrt part1.tif part2.tif part3.tif part4.tif
}

talvo() {
    "$map" --model 0 --sand sand.tif --silt silt.tif --clay clay.tif --soilgrids --threads 2 "$@"
}

export -f tiles talvo
export map

load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
for round in $(seq "$rounds"); do
    out_file=map.tif measure talvo-map talvo --output map.tif
    out_file=calc.tif measure gdal_calc "$peer" . calc.tif Float32 --co COMPRESS=DEFLATE \
        --co ZLEVEL=1
    out_file= measure 4-tiles tiles
    for method in DEFLATE ZSTD; do
        level=$([[ $method == ZSTD ]] && echo ZSTD_LEVEL || echo ZLEVEL)
        out_file=map16.tif measure "talvo-map-int16-$method" talvo --type Int16 \
            --compress "${method,,}" --output map16.tif
        out_file=calc16.tif measure "gdal_calc-int16-$method" "$peer" . calc16.tif Int16 \
            --co COMPRESS="$method" --co "$level=1" --co PREDICTOR=2
    done
    echo "round $round done" >&2
done

echo "load average (1, 5, 15 min) on $(nproc) cores: before $load_before," \
    "after $(cut -d ' ' -f 1-3 /proc/loadavg)"
/usr/bin/python3 - "$size" results.txt <<'PY'
import statistics, sys
cells = int(sys.argv[1]) ** 2
runs = {}
for line in open(sys.argv[2]):
    name, wall, cpu, kib, size = line.split()
    runs.setdefault(name, []).append((float(wall), float(cpu), int(kib), int(size)))
print(f"{cells} cells, {len(runs['talvo-map'])} interleaved rounds; median [min - max]")
for name, values in runs.items():
    wall = [v[0] for v in values]
    cpu = [v[1] for v in values]
    kib = max(v[2] for v in values)
    size = f"  file {values[-1][3] / 2**20:6.1f} MiB" if values[-1][3] else ""
    rate = [cells / w / 1e6 for w in wall]
    print(f"{name:24} wall {statistics.median(wall):6.2f} s [{min(wall):.2f} - {max(wall):.2f}]"
          f"  {statistics.median(rate):5.2f} M cells/s  cpu {statistics.median(cpu):6.2f} s"
          f" [{min(cpu):.2f} - {max(cpu):.2f}]  peak {kib / 1024:.0f} MiB{size}")
ratio = lambda a, b, i: statistics.median(v[i] for v in runs[a]) / statistics.median(v[i] for v in runs[b])
print(f"gdal_calc / talvo-map, Float32 DEFLATE: wall {ratio('gdal_calc', 'talvo-map', 0):.2f}x, "
      f"cpu {ratio('gdal_calc', 'talvo-map', 1):.2f}x; "
      f"4 tiles / one run: wall {ratio('4-tiles', 'talvo-map', 0):.2f}x")
for other in ("gdal_calc", "4-tiles"):
    paired = sorted(a[0] / b[0] for a, b in zip(runs[other], runs["talvo-map"]))
    print(f"{other} / talvo-map, round by round: wall {statistics.median(paired):.2f}x "
          f"[{paired[0]:.2f} - {paired[-1]:.2f}]")
for method in ("DEFLATE", "ZSTD"):
    ours, theirs = f"talvo-map-int16-{method}", f"gdal_calc-int16-{method}"
    print(f"gdal_calc / talvo-map, Int16 {method}: wall {ratio(theirs, ours, 0):.2f}x, "
          f"cpu {ratio(theirs, ours, 1):.2f}x; talvo-map's file / Float32 DEFLATE's: "
          f"{ratio(ours, 'talvo-map', 3):.2f}x, its run's cpu "
          f"{ratio(ours, 'talvo-map', 1):.2f}x")
PY
