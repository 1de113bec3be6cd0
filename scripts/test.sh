#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default -j2
