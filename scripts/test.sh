#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --dev
cmake --preset dev
cmake --build --preset dev
ctest --preset dev --output-on-failure
