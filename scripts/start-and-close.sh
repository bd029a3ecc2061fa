#!/usr/bin/env bash
# Starts a window program (any command, e.g. under valgrind), waits for its window, closes
# it as a window manager would and returns the program's exit status. Needs an X server
# (xvfb-run -a scripts/start-and-close.sh build/dev/bin/talvo).
set -uo pipefail
here=$(dirname "$0")
"$@" &
pid=$!
window=$(timeout "${START_TIMEOUT:-120}" xdotool search --sync --onlyvisible --pid "$pid" | head -1)
if [ -z "$window" ]; then
    echo "start-and-close: no window from $1 within ${START_TIMEOUT:-120} s" >&2
    kill "$pid" 2>/dev/null
    wait "$pid"
    exit 1
fi
"$here/close-window.py" "$window"
wait "$pid"
