#!/usr/bin/env bash
# Runs the end-to-end tests RUNS times (default 10) while stress-ng keeps every
# core busy, and prints one line per run and the total. Needs a built tree:
#   tests/e2e/run-loaded.sh [BUILD_DIR] [RUNS]
set -uo pipefail
build=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build}
command -v stress-ng >/dev/null || { echo "stress-ng is not installed (apt-get install stress-ng)" >&2; exit 2; }
stress-ng --cpu "$(nproc)" --timeout 3600s >/dev/null 2>&1 &
trap "kill $! 2>/dev/null" EXIT
failed=0
for i in $(seq "${2:-10}"); do
  log=$(mktemp /tmp/tallyro-e2e-loaded.XXXXXX)
  if (cd "$build" && ctest -R '^e2e_' --output-on-failure >"$log" 2>&1); then
    echo "run $i: passed"; rm -f "$log"
  else
    failed=$((failed + 1)); echo "run $i: FAILED, see $log"
  fi
done
echo "$((${2:-10} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
