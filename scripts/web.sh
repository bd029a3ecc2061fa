#!/usr/bin/env bash
# The calculator in a browser: installs what is missing, builds the site (emscripten) and
# serves it on http://127.0.0.1:8000 until Ctrl+C. PORT=8080 serves elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --web
cmake --preset web >/dev/null
cmake --build --preset web --target site
port="${PORT:-8000}"
echo "TALVO Soil Moisture Calculator: http://127.0.0.1:${port}/"
cd build/web/site
exec /usr/bin/python3 -m http.server --bind 127.0.0.1 "$port"
