#!/usr/bin/env bash
# Installs what is missing, builds TARNO and runs every test: unit, flow and
# end-to-end on the Release build, then unit, flow and short fuzz runs again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j2)
scripts/build.sh asan
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j2 -L 'unit|flow|fuzz')
