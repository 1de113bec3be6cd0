#!/usr/bin/env bash
# Installs what is needed, builds, and starts the console on the simulated cameras.
# Extra arguments go to the console, e.g. --sim-config my-cameras.conf or -platform offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kestrom3-console
exec ./build/src/app/kestrom3-console "$@"
