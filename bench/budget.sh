#!/usr/bin/env bash
# The client's resource budget, measured on this machine: runs the benchmarks
# and prints the Markdown table the README shows. Needs a built tree.
#   bench/budget.sh [BUILD_DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

TALLYRO_BUILD_DIR=$build "$root/bench/run-startup.sh" >"$tmp/startup" 2>&1
"$build/bench/lookup/bench_keystroke" --benchmark_filter='type_600|complete_sh600000' >"$tmp/keys" 2>&1
"$build/bench/quotes/bench_request" >"$tmp/request" 2>&1
"$root/bench/run-idle.sh" "$build" 20 >"$tmp/idle" 2>&1

counter() { grep -o "$1=[0-9.]*" "$2" | head -n 1 | cut -d= -f2; }
# The time column of the median line of the benchmark whose name holds $1.
median_of() { awk -v n="$1" 'index($1, n) && $1 ~ /_median$/ {print $2 " " $3; exit}' "$2"; }
idle=$(grep '^median' "$tmp/idle")

echo "| What | Measured | How |"
echo "|---|---|---|"
printf '| Start-up to the first window | %.2f x a bare Qt window (%.0f ms against %.0f ms) | `bench/run-startup.sh` |\n' \
  "$(counter ratio "$tmp/startup")" "$(counter client_median_ms "$tmp/startup")" "$(counter bare_median_ms "$tmp/startup")"
echo "| Keystroke to rebuilt list (\"60\" to \"600\") | $(median_of type_600 "$tmp/keys") | \`build/bench/lookup/bench_keystroke\` |"
echo "| Enter to result page, local service | $(awk '/_median/ {print $2 " " $3; exit}' "$tmp/request") | \`build/bench/quotes/bench_request\` |"
# "<wake-ups> wake-ups/s <cpu> %" of one state of the idle bench.
idle_of() { echo "$idle" | grep -o "$1 [0-9.]* wake-ups/s [0-9.]* %" | cut -d' ' -f2-; }
bare=$(idle_of bare)
for state in "login:login page" "search:search page" "slid-out:docked and slid out" "minimised:minimised to the tray"; do
  echo "| Idle, ${state#*:} | $(idle_of "${state%%:*}") (a bare Qt window: $bare) | \`bench/run-idle.sh\` |"
done
echo "| Memory, resident | $(echo "$idle" | grep -o '[0-9]* MiB' | head -n 1) | \`bench/run-idle.sh\` |"
