#!/usr/bin/env bash
# The web site's budgets: its size gzip-compressed (at most 300 KB), and the time from
# navigation to the first estimate (at most 1 s; headless Chromium, local server, cold cache).
# Usage: bench/web/measure.sh [RUNS]   (builds the site first; 7 runs by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset web >/dev/null
cmake --build --preset web --target site >/dev/null
site=build/web/site

total=0
for file in "$site"/*; do
    size=$(gzip -9 -c "$file" | wc -c)
    total=$((total + size))
    printf '%8d  %s\n' "$size" "$(basename "$file")"
done
printf 'site gzip-compressed: %d bytes (%d KB of 300 KB)\n' "$total" $(((total + 1023) / 1024))
/usr/bin/python3 bench/web/first_estimate.py "$site" "${1:-7}"
