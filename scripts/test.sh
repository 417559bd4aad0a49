#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, Qt integration,
# service and end-to-end), then every fuzz target for TALLYRO_FUZZ_SECONDS each
# (default 20; 0 leaves them out) in a clang build of its own (build-fuzz).
# Exits non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
TALLYRO_BUILD_DIR=$build "$root/scripts/build.sh"
(cd "$build" && ctest --output-on-failure --timeout 300 -j "$(nproc)")
fuzz_seconds=${TALLYRO_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ]; then
  TALLYRO_FUZZ_JOBS="$(nproc)" "$root/fuzz/run.sh" "$fuzz_seconds"
fi
