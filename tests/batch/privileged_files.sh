#!/bin/bash
# What --output promises where only root can set the scene: a device node of the test's own
# is written through and stays a device, a link another user owns in a shared sticky folder
# is refused as the kernel refuses it, final or a folder on the way, a run that writes several
# files where one would be refused its rename replaces none, and a system that refuses a thread (ulimit -u, as an
# unprivileged user) ends the run in one line. Exit 77 (skipped) without root.
# Usage: privileged_files.sh TALVO-BATCH
set -u
[ "$(id -u)" == 0 ] || { echo "needs root: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
# A copy where every user may reach it: one run below is another user's, and the build may lie
# in a folder that only its owner enters (as root's home). Its libraries are the system's.
cp "$1" "$work/talvo-batch" || exit 1
tool=$work/talvo-batch
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }
expect() { [ "$2" == "$3" ] || fail "$1: got '${2:0:300}', wanted '$3'"; } # what, got, wanted
leftovers() { find "$work" -name '.*.tmp' -printf '%f\n'; }

printf 'id,sand,clay,oc\nA,40,20,5\nB,60,10,2\n' >small.csv
chmod 644 small.csv
wanted=$("$tool" --model 2 small.csv)

# A device node of our own (the system's /dev/null is never put at risk).
mknod null c 1 3 || { echo "mknod refused: skipped"; exit 77; }
"$tool" --model 2 --output null small.csv
expect "device: status" "$?" 0
expect "device: still a device" "$(stat -c '%F %t,%T' null)" "character special file 1,3"

# Another user's link in a shared sticky folder, as /tmp is: refused, its target untouched.
mkdir shared && chmod 1777 shared
printf 'their file\n' >theirs.csv
ln -s "$work/theirs.csv" shared/out.csv && chown -h 65534:65534 shared/out.csv
"$tool" --model 2 --output shared/out.csv small.csv 2>err
expect "their link: status" "$?" 2
expect "their link: message" "$(cat err)" "talvo-batch: cannot write shared/out.csv: it is a symbolic link that another user owns in the shared folder shared, which the system does not follow"
expect "their link: target" "$(cat theirs.csv)" "their file"
# Root's own link there is followed.
ln -s "$work/mine.csv" shared/mine.csv
"$tool" --model 2 --output shared/mine.csv small.csv
expect "own link" "$([ -L shared/mine.csv ] && cat mine.csv)" "$wanted"

# Their link to a folder on the way is refused the same; root's own is followed.
mkdir theirs mine
ln -s "$work/theirs" shared/their-folder && chown -h 65534:65534 shared/their-folder
ln -s "$work/mine" shared/my-folder
"$tool" --model 2 --output shared/their-folder/out.csv small.csv 2>err
expect "their folder link: status" "$?" 2
expect "their folder link: message" "$(cat err)" "talvo-batch: cannot write shared/their-folder/out.csv: its way leads through $work/shared/their-folder, a symbolic link that another user owns in a shared folder, which the system does not follow"
expect "their folder link: nothing written" "$(ls theirs)" ""
"$tool" --model 2 --output shared/my-folder/../mine/out.csv small.csv
expect "own folder link" "$(cat mine/out.csv)" "$wanted"

# Several files where one's rename would be refused: none is replaced. A user's run may not
# replace root's file in a shared sticky folder, though the file's mode lets them write it.
printf 'profile,top,bottom,sand,clay,oc\nA,0,30,40,20,1\n' >horizons.csv
chmod 644 horizons.csv
mkdir users && chown 65534:65534 users
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
printf 'old summary\n' >shared/summary.csv && chmod 666 shared/summary.csv
printf 'old table\n' >users/table.csv && chown 65534:65534 users/table.csv
as_user "$tool" --model 2 --profiles --output users/table.csv --summary shared/summary.csv \
    horizons.csv 2>err
expect "root's summary: status" "$?" 2
expect "root's summary: message" "$(cat err)" \
    "talvo-batch: cannot write shared/summary.csv: Operation not permitted"
expect "root's summary: both kept" "$(cat users/table.csv shared/summary.csv)" "old table
old summary"
# A folder that stops taking files while the run works: found before the first rename.
mkdir users/closing && chown 65534:65534 users/closing
printf 'old summary\n' >users/closing/summary.csv && chown 65534:65534 users/closing/summary.csv
mkfifo feed && chmod 666 feed
as_user "$tool" --model 2 --profiles --output users/table.csv \
    --summary users/closing/summary.csv feed 2>err &
pid=$!
exec 3>feed
cat horizons.csv >&3
for _ in $(seq 500); do
    [ -n "$(find users/closing -name '.*.tmp')" ] && break
    sleep 0.02
done
chmod 555 users/closing
exec 3>&-
wait "$pid"
expect "closed folder: status" "$?" 2
expect "closed folder: message" "$(cat err)" \
    "talvo-batch: cannot write users/closing/summary.csv: Permission denied"
expect "closed folder: both kept" "$(cat users/table.csv users/closing/summary.csv)" "old table
old summary"
# The folder refuses the removal of the run's own temporary file too.
chmod 755 users/closing && rm -f users/closing/.*.tmp

# No thread to be had: one line, status 2, nothing left. A sanitizer's build needs threads of
# its own to start, so it is left out there.
if ! ldd "$tool" 2>/dev/null | grep -q -E 'lib(a|t)san'; then
    chmod 1777 "$work"
    setpriv --reuid=65534 --regid=65534 --clear-groups bash -c \
        'ulimit -u 1; exec "$0" --model 2 --output out.csv small.csv' "$tool" 2>err
    expect "ulimit -u: status" "$?" 2
    expect "ulimit -u: message" "$(cat err)" \
        "talvo-batch: the system refused to start a thread: Resource temporarily unavailable"
    expect "ulimit -u: one line" "$(wc -l <err)" 1
    expect "ulimit -u: no table" "$(ls out.csv 2>&1 >/dev/null | wc -l)" 1
fi

expect "temporary files left" "$(leftovers)" ""
[ "$failed" == 0 ] || exit 1
echo "all privileged file guarantees hold"
