#!/usr/bin/env bash
# talvo-batch side by side with its peers on one generated table of soils, in interleaved
# rounds: mawk running the same equations with printf "%.2f", and cat copying the file, each
# to a file. Prints each one's median and range of rows a second, and peak memory.
# Usage: bench/batch/measure.sh [ROWS] [ROUNDS] (after cmake --preset bench && cmake --build --preset bench).
set -euo pipefail
cd "$(dirname "$0")/../.."
rows=${1:-1000000}
rounds=${2:-5}
bin=build/bench/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/batch_bench" --soil-table "$rows" >"$work/soils.csv"

# Model 0 with its rounding to 15 digits left out: mawk's %.2f rounds the binary value.
awk_program='BEGIN { FS = OFS = ","; print "id,sand,silt,clay,oc,model,fc,pwp,awc,error" }
NR > 1 { S = $2; C = $4
  fc = (29.79202 - 0.26349 * S) + 0.20657 * C
  pwp = ((5.04007 - 0.03849 * S) + 0.23203 * C) - (0.00057 * S) * C
  awc = ((fc - pwp) / 100) * 1.49 * 150
  printf "%s,TALVO PTF model (PSD),%.2f,%.2f,%.2f,\n", $0, fc, pwp, awc }'

# talvo-batch writes to a file as its peers do, through the shell; with --output it also waits
# for the file to reach the disk before renaming it into place.
declare -A command=(
    [talvo-batch]="$bin/talvo-batch --model 0 $work/soils.csv > $work/out.csv"
    [talvo-batch-output]="$bin/talvo-batch --model 0 --output $work/out.csv $work/soils.csv"
    [talvo-batch-all]="$bin/talvo-batch --model all $work/soils.csv > $work/out.csv"
    [mawk]="mawk '$awk_program' $work/soils.csv > $work/out.csv"
    [cat]="cat $work/soils.csv > $work/out.csv"
)
for round in $(seq "$rounds"); do
    for name in talvo-batch talvo-batch-output talvo-batch-all mawk cat; do
        # Wall time in nanoseconds (time's own is in hundredths, too coarse for cat), peak
        # memory from time.
        start=$(date +%s%N)
        /usr/bin/time -f "%M" -o "$work/time" bash -c "${command[$name]}" 2>/dev/null || true
        end=$(date +%s%N)
        echo "$name $(((end - start) / 1000))e-6 $(cat "$work/time")" >>"$work/results"
    done
done
awk -v rows="$rows" '
    { seconds[$1, ++n[$1]] = $2; if ($3 > peak[$1]) peak[$1] = $3 }
    END {
        for (name in n) {
            count = n[name]
            for (i = 1; i <= count; ++i) s[i] = seconds[name, i]
            for (i = 1; i <= count; ++i) for (j = i + 1; j <= count; ++j)
                if (s[j] < s[i]) { t = s[i]; s[i] = s[j]; s[j] = t }
            factor = name == "talvo-batch-all" ? 7 : 1
            median = s[int((count + 1) / 2)]
            printf "%-18s median %6.2f M rows/s (range %.2f to %.2f), %.3f s, peak %.1f MiB\n",
                name, factor * rows / median / 1e6, factor * rows / s[count] / 1e6,
                factor * rows / s[1] / 1e6, median, peak[name] / 1024
        }
    }' "$work/results"
