#!/usr/bin/env bash
# Builds TARNO into build/ (Release); with "asan", the sanitizer build into build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = asan ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNO_SANITIZE=ON >/dev/null
  cmake --build build-asan -j2
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j2
fi
