#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the web site
# is built first (emscripten), as the browser tests of the dev build open it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --dev
cmake --preset web
cmake --build --preset web
ctest --preset web
cmake --preset dev
cmake --build --preset dev
ctest --preset dev --output-on-failure
