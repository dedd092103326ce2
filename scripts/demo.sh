#!/usr/bin/env bash
# Installs what is missing, builds TARNO, writes the demo spectrum and starts
# the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
[ -f build/demo.spe ] || build/tarno-demo 2000000 build/demo.spe
exec build/tarno build/demo.spe
