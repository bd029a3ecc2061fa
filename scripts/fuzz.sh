#!/usr/bin/env bash
# Builds the fuzz targets and runs each one from its seed corpus for a bounded time
# (FUZZ_SECONDS, 60 by default) and reports its executions. A crash, a broken property, a leak
# or a hang fails the run; the input that caused it is left in build/fuzz/runs/<target>/.
# FUZZ_MERGE=1 merges what the run found into the committed corpus (only inputs that add
# coverage); FUZZ_MIN_RUNS=N fails a target that managed fewer executions.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

seconds=${FUZZ_SECONDS:-60}
merge=${FUZZ_MERGE:-0}
min_runs=${FUZZ_MIN_RUNS:-0}
status=0
# A folder with a corpus is a target; helpers such as fuzz/support have none.
for corpus in fuzz/*/corpus; do
    name=$(basename "$(dirname "$corpus")")
    binary=build/fuzz/bin/${name}_fuzz
    if [ ! -x "$binary" ]; then
        echo "fuzz: $name has a corpus but no target $binary (add_subdirectory missing?)" >&2
        status=1
        continue
    fi
    work=build/fuzz/runs/$name
    mkdir -p "$work/corpus"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$work/")
    dictionary=fuzz/$name/$name.dict
    [ -f "$dictionary" ] && options+=(-dict="$dictionary")
    # Tables reach past a chunk and up to the longest record the reader takes (1 MiB).
    [ "$name" = csv ] && options+=(-max_len=1100000)

    # New inputs go to the work corpus; the committed seeds stay as they are.
    if "$binary" "${options[@]}" "$work/corpus" "$corpus" >"$work/log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")
        echo "fuzz: $name: $runs runs in ${seconds} s, $rate per second"
        if [ "${runs:-0}" -lt "$min_runs" ]; then
            echo "fuzz: $name ran $runs times, fewer than $min_runs" >&2
            status=1
        fi
        if [ "$merge" = 1 ]; then
            before=$(find "$corpus" -type f | wc -l)
            if "$binary" -merge=1 -timeout=10 -rss_limit_mb=2048 "$corpus" "$work/corpus" \
                >"$work/merge.log" 2>&1; then
                echo "fuzz: $name: corpus $before -> $(find "$corpus" -type f | wc -l) inputs"
            else
                echo "fuzz: $name: merge FAILED, log in $work/merge.log" >&2
                status=1
            fi
        fi
    else
        grep -E -A30 'property broken|ERROR|SUMMARY|Test unit written' "$work/log" | head -60 >&2
        echo "fuzz: $name FAILED, log in $work/log" >&2
        status=1
    fi
done
exit $status
