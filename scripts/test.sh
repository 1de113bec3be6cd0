#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite, then the same suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer (warnings are errors in both builds);
# between them the Debian package is built and checked.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default -j2
scripts/check-package.sh build
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
