#!/usr/bin/env bash
# Memory checks of the dev build under valgrind where the sanitizers do not reach: the batch
# tool as built for users over messy CSV input, and the window's start and close, each when
# its program exists. The test programs run under ASan and TSan instead. Any memory error or
# leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --dev
cmake --preset dev >/dev/null
cmake --build --preset dev

bin=build/dev/bin
work=build/valgrind
rm -rf "$work" && mkdir -p "$work"
# A status of its own, so that a program's own failure statuses stay apart from valgrind's.
memcheck=(valgrind --error-exitcode=97 --leak-check=full --errors-for-leak-kinds=definite,possible
          --num-callers=40 --quiet)

# check NAME ALLOWED_STATUSES COMMAND...: runs COMMAND in the background, as many at once as
# there are cores (each check is one single-threaded program), logs to $work/NAME.log and
# leaves $work/NAME.failed when it fails.
jobs_at_once=$(nproc)
check() {
    local name=$1 allowed=$2
    shift 2
    while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do wait -n || true; done
    (
        status=0 start=$SECONDS
        "$@" >"$work/$name.log" 2>&1 </dev/null || status=$?
        if [[ " $allowed " == *" $status "* ]]; then
            echo "valgrind: $name clean ($((SECONDS - start)) s)"
        else
            tail -40 "$work/$name.log" >&2
            echo "valgrind: $name FAILED with status $status, log in $work/$name.log" >&2
            touch "$work/$name.failed"
        fi
    ) &
}

if [ -x "$bin/talvo-batch" ]; then
    # Messy input: byte-order mark, CRLF, quoted delimiters, quotes and line breaks, blank
    # lines, texts that are no numbers, a zero OC, numbers at the end of the range, a short
    # and a long row, a NUL byte and a line without its newline.
    messy=$work/messy.csv
    {
        printf '\xef\xbb\xbf"Sample, id",Sand,silt , CLAY,oc\r\n'
        printf 'a,40,40,20,5\r\n'
        printf '"b ""quoted""",40,"4\n0",20,0\n'
        printf '\n\r\n'
        printf 'c, 40 ,x,  , \n'
        printf 'd,1e308,-1.797e308,1e-400,1e999\n'
        printf 'e,40\n'
        printf 'f,40,40,20,5,extra\n'
        printf 'g,4\0000,40,20,5\n'
        printf 'h,-2.0,0,100,0.0001'
    } >"$messy"
    printf 'id;sand;silt;clay;oc\n1;40,5;40;19,5;5,25\n2;"4;0";x;20;0\n' >"$work/comma.csv"

    batch=("${memcheck[@]}" "$bin/talvo-batch")
    check batch-messy "0 1" "${batch[@]}" --model all "$messy"
    check batch-general "0 1" "${batch[@]}" --model all --precision general "$messy"
    check batch-comma "0 1" "${batch[@]}" --model all --decimal , "$work/comma.csv"
    check batch-stdin "0 1" bash -c '"$@" < "'"$messy"'"' - "${batch[@]}" --model 1 -
    check batch-output "0 1" "${batch[@]}" --model 2 --output "$work/out.csv" "$messy"
    check batch-list 0 "${batch[@]}" --list-models
    check batch-usage 2 "${batch[@]}" --model 9 "$messy"
    check batch-missing-file 2 "${batch[@]}" --model 0 "$work/no such file.csv"
    # The batch tests' own inputs, whatever they are, with any of the tool's statuses.
    while IFS= read -r -d '' csv; do
        name=${csv#tests/batch/}
        check "batch-${name//\//-}" "0 1 2" "${batch[@]}" --model all "$csv"
    done < <(find tests/batch -name '*.csv' -print0 2>/dev/null | sort -z)
fi

if [ -x "$bin/talvo" ]; then
    # Start and close in a real X server: the window program ends with status 0.
    check window-start-and-close 0 xvfb-run -a scripts/start-and-close.sh "${memcheck[@]}" \
        --errors-for-leak-kinds=definite \
        --suppressions=scripts/suppressions/valgrind-qt.supp "$bin/talvo"
fi
wait
if compgen -G "$work/*.failed" >/dev/null; then exit 1; fi
