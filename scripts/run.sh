#!/usr/bin/env bash
# Installs what is missing, builds the optimised program, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
