#!/usr/bin/env bash
# Installs what is missing, builds every program optimised, and starts the calculator. Without
# a display the programs are built all the same, as the command-line tools need none; it then
# says so and ends with status 1, since the window could not start.
set -euo pipefail
cd "$(dirname "$0")/.."

has_display() {
    [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
    [ -n "${DISPLAY:-}" ] || return 1
    # A DISPLAY left from another session may name a server that is gone.
    ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1
}
display=yes
if ! has_display; then
    display=
    echo "run.sh: no display: building the programs; the window cannot open here" >&2
fi

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
if [ -z "$display" ]; then
    echo "run.sh: no display: the calculator opens a desktop window, so run this in a graphical" \
         "session. Built in build/release/bin: talvo, and talvo-batch and talvo-map, which need" \
         "no display (see README.md)." >&2
    exit 1
fi
exec build/release/bin/talvo
