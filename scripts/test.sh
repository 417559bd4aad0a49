#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, Qt integration,
# service and end-to-end). Exits non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
TALLYRO_BUILD_DIR=$build "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --timeout 300 -j "$(nproc)"
