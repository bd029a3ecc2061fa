#!/bin/bash
# What --output promises, through the real executable: an interrupted run keeps the old file and
# leaves no temporary one, a run that writes several files replaces all or none, a run under nohup outlives the hangup, failed writes and reads name
# the file and the reason, the replaced file keeps its mode and owner, a read-only file, the
# input itself and an input that changes while it is read are refused, and a pausing pipe's
# rows go out meanwhile. Every signal and the temporary name are tested in tests/table.
# Usage: file_guarantees.sh TALVO-BATCH
#
# No sleep decides anything: interrupted runs read a pipe this script holds open, and the
# changed input is changed while the run is stopped (SIGSTOP) short of its end.
set -u
set -m # background runs get SIGINT as a user's shell would deliver it, not ignored

tool=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

fail() { echo "FAIL: $*"; failed=1; }
expect() { [ "$2" == "$3" ] || fail "$1: got '${2:0:300}', wanted '$3'"; } # what, got, wanted
rows() { # first, count
    awk -v from="$1" -v count="$2" 'BEGIN { for (i = from; i < from + count; ++i)
        printf "S%d,%d,%d,%d\n", i, 20 + i % 50, 5 + i % 30, i % 6 }'
}
leftovers() { find "$1" -maxdepth 1 -name '.*.tmp' -printf '%f\n'; } # any temporary file
# Waits until the run has written rows to its temporary file: it is inside the run proper.
wait_for_rows() { # folder
    for _ in $(seq 1000); do
        [ -n "$(find "$1" -maxdepth 1 -name '.*.tmp' -size +0)" ] && return 0
        sleep 0.02
    done
    fail "no rows written within 20 s"
    return 1
}

{ echo "id,sand,clay,oc"; rows 0 60000; } >"$work/soils.csv"
header="id,sand,clay,oc,model,unit,fc,pwp,awc,texture,flags,error"

# --- a signal mid-run, and a hangup under nohup --------------------------------------------
# The run reads a pipe; it cannot end before this script closes it, and that happens only
# after the signal has taken effect (the run ended, or the ignored signal was dropped).
interrupt() { # signal, launcher (empty or nohup)
    local what="$2${2:+ }SIG$1"
    printf 'old table\n' >"$work/out.csv"
    rm -f "$work/feed" && mkfifo "$work/feed"
    $2 "$tool" --model 2 --output "$work/out.csv" "$work/feed" \
        </dev/null >/dev/null 2>"$work/err" 3>&- &
    local pid=$!
    exec 3>"$work/feed"
    { echo "id,sand,clay,oc"; rows 0 5000; } >&3
    wait_for_rows "$work" || { kill -KILL "$pid"; exec 3>&-; wait "$pid"; return; }
    kill -s "$1" "$pid"
    if [ -n "$2" ]; then
        rows 5000 1000 >&3
        exec 3>&-
        wait "$pid"
        expect "$what: status" "$?" 0
        expect "$what: rows written" "$(wc -l <"$work/out.csv")" 6001
        expect "$what: header" "$(head -n 1 "$work/out.csv")" "$header"
    else
        wait "$pid"
        local status=$?
        exec 3>&-
        expect "$what: status" "$status" "$((128 + $(kill -l "$1")))"
        expect "$what: old file" "$(cat "$work/out.csv")" "old table"
    fi
    expect "$what: temporary files left" "$(leftovers "$work")" ""
}
ulimit -c 0 # SIGQUIT and others would dump a core
# Every signal whose default ends the process: a user's, a scheduler's, a limit's, a tool's.
for signal in INT TERM QUIT USR1 USR2 ALRM VTALRM PROF XCPU TRAP PWR RTMIN; do
    interrupt "$signal" ""
done
interrupt HUP nohup

# --- several files: all replaced, or none -------------------------------------------------
horizons() { # count of profiles, two horizons each
    awk -v count="$1" 'BEGIN { print "profile,top,bottom,sand,clay,oc,bd,fc_m"
        for (i = 0; i < count; ++i) for (j = 0; j < 2; ++j)
            printf "P%d,%d,%d,%d,%d,%d,1.4,%d\n", i, 30 * j, 30 * j + 30, 20 + i % 50,
                5 + i % 30, i % 6, 20 + i % 10 }'
}
runs=("--profiles --output $work/table.csv --summary $work/summary.csv"
    "--measured fc=fc_m --output $work/table.csv --metrics $work/metrics.csv --report $work/report.html")
old_files() { for f in table.csv summary.csv metrics.csv report.html; do echo "old $f" >"$work/$f"; done; }
files_now() { cat "$work/table.csv" "$work/summary.csv" "$work/metrics.csv" "$work/report.html"; }
old_files
expected_old=$(files_now)
# Every file of the run has a temporary one once the run reads (a scored run reads all first).
wait_for_temporaries() { # count
    for _ in $(seq 1000); do
        [ "$(leftovers "$work" | wc -l)" == "$1" ] && return 0
        sleep 0.02
    done
    fail "no $1 temporary files within 20 s"
    return 1
}
for run in "${runs[@]}"; do
    count=$(grep -c -o -e --output -e --summary -e --metrics -e --report <<<"${run// /$'\n'}")
    for signal in TERM INT HUP USR1 QUIT PIPE; do
        what="${run%% *} SIG$signal"
        old_files
        rm -f "$work/feed" && mkfifo "$work/feed"
        # shellcheck disable=SC2086 # the run's options, split
        "$tool" --model 2 $run "$work/feed" </dev/null >/dev/null 2>"$work/err" 3>&- &
        pid=$!
        exec 3>"$work/feed"
        horizons 500 >&3
        wait_for_temporaries "$count" || { kill -KILL "$pid"; exec 3>&-; wait "$pid"; continue; }
        kill -s "$signal" "$pid"
        wait "$pid"
        status=$?
        exec 3>&-
        expect "$what: status" "$status" "$((128 + $(kill -l "$signal")))"
        expect "$what: old files" "$(files_now)" "$expected_old"
        expect "$what: temporary files left" "$(leftovers "$work")" ""
    done
done
# A file size limit the table keeps within and the report does not: nothing is replaced.
horizons 1 >"$work/one.csv"
old_files
(
    ulimit -f 2
    exec "$tool" --model 2 --measured fc=fc_m --output "$work/table.csv" \
        --metrics "$work/metrics.csv" --report "$work/report.html" "$work/one.csv" 2>"$work/err"
)
expect "ulimit -f, report: status" "$?" 2
expect "ulimit -f, report: message" "$(cat "$work/err")" \
    "talvo-batch: cannot write $work/report.html: File too large"
expect "ulimit -f, report: old files" "$(files_now)" "$expected_old"
expect "ulimit -f, report: temporary files left" "$(leftovers "$work")" ""

# --- a file size limit ---------------------------------------------------------------------
printf 'old table\n' >"$work/out.csv"
(
    ulimit -f 256
    exec "$tool" --model 2 --output "$work/out.csv" "$work/soils.csv" 2>"$work/err"
)
expect "ulimit -f: status" "$?" 2
expect "ulimit -f: message" "$(cat "$work/err")" \
    "talvo-batch: cannot write $work/out.csv: File too large"
expect "ulimit -f: old file" "$(cat "$work/out.csv")" "old table"
expect "ulimit -f: temporary files left" "$(leftovers "$work")" ""

# --- scarce memory ---------------------------------------------------------------------------
# Limits from too little to start a thread to enough: each run ends in the whole table, or in
# one line with status 2 and the old file kept, never in an abort or a leftover.
# A sanitizer's build reserves terabytes of address space: no limit lets it start.
sanitized() { ldd "$tool" 2>/dev/null | grep -q -E 'lib(a|t)san'; }
sanitized && limits="" || limits=$(seq 8000 3000 44000)
for kilobytes in $limits; do
    printf 'old table\n' >"$work/out.csv"
    (
        ulimit -v "$kilobytes"
        exec "$tool" --model 2 --output "$work/out.csv" "$work/soils.csv" 2>"$work/err"
    )
    status=$?
    # Too little to map the libraries (libxlsxwriter brings libcrypto): the loader refuses
    # before the tool runs.
    if [ "$status" == 127 ] && grep -q "error while loading shared libraries" "$work/err"; then
        expect "ulimit -v $kilobytes: old file" "$(cat "$work/out.csv")" "old table"
        continue
    fi
    if [ "$status" == 0 ]; then
        expect "ulimit -v $kilobytes: rows" "$(wc -l <"$work/out.csv")" 60001
    else
        expect "ulimit -v $kilobytes: status" "$status" 2
        expect "ulimit -v $kilobytes: one line" "$(wc -l <"$work/err")" 1
        expect "ulimit -v $kilobytes: old file" "$(cat "$work/out.csv")" "old table"
    fi
    expect "ulimit -v $kilobytes: temporary files left" "$(leftovers "$work")" ""
done

# --- what the replaced file keeps, where the table goes, what is refused ------------------
cd "$work" || exit 1
head -n 3 soils.csv >small.csv
owner=$(id -u):$(id -g)
[ "$owner" == 0:0 ] && owner=65534:65534 # root may give it away, and the run must give it back
for mode in 600 640 755; do
    printf 'old table\n' >"m$mode.csv"
    chmod "$mode" "m$mode.csv" && chown "$owner" "m$mode.csv"
    "$tool" --model 2 --output "m$mode.csv" small.csv
    expect "mode $mode: status" "$?" 0
    expect "mode $mode: mode, owner and table" \
        "$(stat -c '%a %u:%g' "m$mode.csv") $(head -n 1 "m$mode.csv")" "$mode $owner $header"
done
# A pipe's reader gets the whole table, and the pipe stays one.
mkfifo out.fifo
cat out.fifo >from-fifo.csv &
"$tool" --model 2 --output out.fifo small.csv
wait $!
expect "to a FIFO" "$([ -p out.fifo ] && cat from-fifo.csv)" "$("$tool" --model 2 small.csv)"
# Through a link the file it names is written and the link stays; a device is written in place.
mkdir data && ln -s data/linked.csv linked.csv
"$tool" --model 2 --output linked.csv small.csv && "$tool" --model 2 --output /dev/null small.csv
expect "through a link" "$([ -L linked.csv ] && head -n 1 data/linked.csv)" "$header"
[ -c /dev/null ] || fail "/dev/null is no longer a device"
# A refused run: status 2, one line naming the file and the reason, the target as it was.
ln -s small.csv input-link.csv
printf 'old table\n' | tee m444.csv >m000.csv && chmod 444 m444.csv && chmod 000 m000.csv
refused() { # what, message, arguments
    "$tool" --model 2 "${@:3}" 2>err
    expect "$1: status" "$?" 2
    expect "$1: message" "$(cat err)" "talvo-batch: $2"
}
refused "full disk" "cannot write /dev/full: No space left on device" --output /dev/full small.csv
refused "full standard output" "cannot write standard output: No space left on device" \
    small.csv >/dev/full
refused "unwritable" "cannot write /proc/version: Permission denied" --output /proc/version small.csv
refused "no folder" "cannot write no/out.csv: No such file or directory" --output no/out.csv small.csv
refused "read-only" "cannot write m444.csv: Permission denied" --output m444.csv small.csv
refused "no permissions" "cannot write m000.csv: Permission denied" --output m000.csv small.csv
same="is the input file: write the results to another file"
refused "a link to the input" "--output input-link.csv $same" --output input-link.csv small.csv
# shellcheck disable=SC2094 # reading and writing one file is the refusal under test
refused "the input as standard input" "--output small.csv $same" --output small.csv - <small.csv
refused "unreadable standard input" "cannot read standard input: Bad file descriptor" - 0>/dev/null
# shellcheck disable=SC2094
refused "standard output appended to the input" "standard output $same" small.csv >>small.csv
# shellcheck disable=SC2094
refused "/dev/stdout appended to the input" "--output /dev/stdout $same" \
    --output /dev/stdout small.csv >>small.csv
# Two outputs that are one file, whatever the path says: refused before any work.
printf 'profile,top,bottom,sand,clay,oc,fc_m\nA,0,30,40,20,1,30\n' >scored.csv
ln -s . here
twice() { # what, message, options
    printf 'old X\n' >X
    refused "$1" "$2 name the same file: give each its own" --profiles "${@:3}" scored.csv
    expect "$1: file kept" "$(cat X)" "old X"
}
twice "summary as ./X" "--summary and --output" --output X --summary ./X
twice "summary through a folder link" "--summary and --output" --output X --summary "here/../$(basename "$work")/X"
twice "metrics as ./X" "--metrics and --output" --measured fc=fc_m --output X --metrics ./X
twice "report as the metrics" "--report and --metrics" --measured fc=fc_m --metrics X --report "$work/X"
twice "summary to standard output twice" "--summary and --output" --output /dev/stdout --summary -
# shellcheck disable=SC2094
twice "summary as redirected standard output" "--summary and --output" --summary X >>X
# The profiles' summary is replaced as the table is: both, or neither.
printf 'profile,top,bottom,sand,clay\nA,0,30,40,20\nA,30,60,"40,20\n' >damaged.csv
printf 'old summary\n' >summary.csv
printf 'old table\n' >table.csv
printf 'profile,top,bottom,sand,clay,oc\nA,0,30,40,20,1\n' >horizons.csv
"$tool" --model 2 --profiles --summary summary.csv --output table.csv damaged.csv 2>err
expect "damaged horizons: status" "$?" 2
expect "damaged horizons: both kept" "$(cat summary.csv table.csv)" "old summary
old table"
refused "summary to a full disk" "cannot write /dev/full: No space left on device" \
    --profiles --summary /dev/full --output table.csv horizons.csv
expect "summary refused: table kept" "$(cat table.csv)" "old table"
chmod 644 m000.csv
expect "refused: targets" "$(cat m444.csv m000.csv; wc -l <small.csv)" "old table
old table
3"
expect "refused: temporary files left" "$(leftovers "$work")" ""
# /dev/stdout is standard output as the shell opened it: a pipe, or a log appended to.
"$tool" --model 2 --output /dev/stdout small.csv 2>err | cat >piped.csv
expect "/dev/stdout into a pipe" "$(cat err piped.csv)" "$("$tool" --model 2 small.csv 2>&1 >/dev/null)
$("$tool" --model 2 small.csv 2>/dev/null)"
printf 'log\n' >log.txt
"$tool" --model 2 --output /dev/stdout small.csv >>log.txt
expect "/dev/stdout appended to" "$(cat log.txt)" "log
$("$tool" --model 2 small.csv)"

# --- an input that changes while it is read ------------------------------------------------
set +m # without job control, wait returns when the run ends, not when it is stopped
# Stopped once its temporary file exists (the input's state is taken before), short of the
# input's end, the run must see the rows appended meanwhile however fast it is.
{ echo "id,sand,clay,oc"; rows 0 200000; } >"$work/changing.csv"
printf 'old table\n' >"$work/out.csv"
"$tool" --model 2 --output "$work/out.csv" "$work/changing.csv" 2>"$work/err" &
pid=$! position=""
for _ in $(seq 1000); do
    [ -n "$(leftovers "$work")" ] && break
    sleep 0.01
done
kill -STOP "$pid"
for fd in /proc/"$pid"/fd/*; do
    if [ "$(readlink "$fd")" == "$work/changing.csv" ]; then
        position=$(awk '/^pos:/ { print $2 }' /proc/"$pid"/fdinfo/"${fd##*/}")
    fi
done
size=$(stat -c %s "$work/changing.csv")
[ -n "$position" ] && [ "$position" -lt "$size" ] ||
    fail "the run was not caught before the end of its input (at '$position' of $size)"
rows 200000 100 >>"$work/changing.csv"
kill -CONT "$pid"
wait "$pid"
expect "changed input: status" "$?" 2
expect "changed input: message" "$(cat "$work/err")" \
    "talvo-batch: the input changed while it was being read: $work/changing.csv"
expect "changed input: old file" "$(cat "$work/out.csv")" "old table"
expect "changed input: temporary files left" "$(leftovers "$work")" ""

# --- a pipe that pauses --------------------------------------------------------------------
# The rows it has given go out while it waits for more; it ends only when this script closes it.
rm -f "$work/feed" && mkfifo "$work/feed"
"$tool" --model 2 - <"$work/feed" >"$work/streamed.csv" 2>/dev/null &
pid=$!
exec 3>"$work/feed"
{ echo "id,sand,clay,oc"; rows 0 1; } >&3
for _ in $(seq 500); do
    [ "$(wc -l <"$work/streamed.csv")" == 2 ] && break
    sleep 0.02
done
expect "paused pipe: rows out before its end" "$(wc -l <"$work/streamed.csv")" 2
rows 1 1 >&3
exec 3>&-
wait "$pid"
expect "paused pipe: every row" "$(wc -l <"$work/streamed.csv")" 3

# --- soil files: whole files, and none where a profile cannot be written ---------------------
soil="$work/soil"
mkdir -p "$soil"
listing() { find "$1" -mindepth 1 -printf '%f\n' | sort | tr '\n' ' '; }
printf 'profile,top,bottom,sand,silt,clay,oc,bd\nA,0,30,40,40,20,1,1.3\nA,30,60,38,40,22,0.5,1.4\nB,0,20,60,25,15,1,1.4\n' >"$soil/two.csv"
{ cat "$soil/two.csv"; echo "C,0,20,40,40,20,1,1.3"; echo "C,30,60,40,40,20,1,1.3"; } >"$soil/gap.csv"
"$tool" --model 2 --profiles --output /dev/null --write aquacrop --write-to "$soil/aquacrop" \
    "$soil/two.csv" 2>/dev/null
expect "aquacrop: a file per profile" "$(listing "$soil/aquacrop")" "A.SOL B.SOL "
"$tool" --model 2 --profiles --output /dev/null --write dssat --write-to "$soil/all.SOL" \
    "$soil/two.csv" 2>/dev/null
expect "dssat: one file for all" "$(grep -c '^\*[AB] ' "$soil/all.SOL")" "2"
before=$(cat "$soil/aquacrop/A.SOL" "$soil/all.SOL")
echo old >"$soil/rows.csv"
for format in "aquacrop --write-to $soil/aquacrop" "dssat --write-to $soil/all.SOL"; do
    # shellcheck disable=SC2086
    "$tool" --model 2 --profiles --output "$soil/rows.csv" --write $format "$soil/gap.csv" \
        2>/dev/null
    expect "${format%% *} with a gap: status" "$?" "2"
done
expect "a gap: soil files kept" "$(cat "$soil/aquacrop/A.SOL" "$soil/all.SOL")" "$before"
expect "a gap: no file for the other profiles" "$(listing "$soil/aquacrop")" "A.SOL B.SOL "
expect "a gap: the table kept" "$(cat "$soil/rows.csv")" "old"
expect "a gap: temporary files left" "$(leftovers "$soil")$(leftovers "$soil/aquacrop")" ""

# --- signals at random points in runs that write several files ----------------------------
# A fixed seed picks the run, the signal and the moment; whenever it lands, the run ends with
# all the old files or all the new, and no temporary file.
RANDOM=40
horizons 3000 >"$work/fuzz.csv"
declare -A expected_new
for run in "${runs[@]}"; do
    old_files
    # shellcheck disable=SC2086
    "$tool" --model 2 $run "$work/fuzz.csv" 2>/dev/null
    expected_new[$run]=$(files_now)
done
for round in $(seq 24); do
    run=${runs[RANDOM % 2]}
    signal=$(printf '%s\n' TERM INT HUP USR1 QUIT PIPE | sed -n "$((RANDOM % 6 + 1))p")
    delay=$(printf '0.%03d' $((RANDOM % 400)))
    old_files
    # shellcheck disable=SC2086
    "$tool" --model 2 $run "$work/fuzz.csv" 2>/dev/null &
    pid=$!
    sleep "$delay"
    kill -s "$signal" "$pid" 2>/dev/null
    wait "$pid"
    now=$(files_now)
    [ "$now" == "$expected_old" ] || [ "$now" == "${expected_new[$run]}" ] ||
        fail "fuzz $round (${run%% *}, SIG$signal after $delay s): files neither all old nor all new"
    expect "fuzz $round: temporary files left" "$(leftovers "$work")" ""
done

[ "$failed" == 0 ] || exit 1
echo "all file guarantees hold"
