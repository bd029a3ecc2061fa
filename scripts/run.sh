#!/usr/bin/env bash
# Installs what is missing, builds the optimised program, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target talvo
# The calculator is a desktop window: without a display, say so rather than let the toolkit
# fail with its own messages.
if [ -z "${WAYLAND_DISPLAY:-}" ] && ! xdpyinfo >/dev/null 2>&1; then
    echo "No display: the calculator opens a desktop window; run this in a graphical session." >&2
    exit 1
fi
exec build/release/bin/talvo
