#!/usr/bin/env bash
# Start-up benchmark of the built client under Xvfb: median of fresh starts
# from exec to the first mapped window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
display=:$(( 150 + RANDOM % 50 ))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
# A first, untimed start warms the file cache as a user's second start would find it.
TALLYRO_BARE_WINDOW=$build/bench/startup/bench_bare_window TALLYRO_CLIENT=$build/bin/tallyro "$build/bench/startup/bench_startup" --benchmark_min_time=0 >/dev/null 2>&1 || true
TALLYRO_BARE_WINDOW=$build/bench/startup/bench_bare_window TALLYRO_CLIENT=$build/bin/tallyro "$build/bench/startup/bench_startup" "$@"
