#!/usr/bin/env bash
# Installs what is missing, builds every program optimised, and starts the calculator.
set -euo pipefail
cd "$(dirname "$0")/.."

# The calculator is a desktop window: without a display, say so at once rather than after
# the build, or let the toolkit fail with its own messages.
no_display() {
    echo "No display: the calculator opens a desktop window; run this in a graphical" \
         "session. The batch tool needs none: see README.md." >&2
    exit 1
}
if [ -z "${WAYLAND_DISPLAY:-}" ]; then
    [ -n "${DISPLAY:-}" ] || no_display
    if command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>&1; then
        no_display
    fi
fi

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/bin/talvo
