#!/usr/bin/env bash
# Idle CPU of the running client under Xvfb: the share of one core it uses over
# SECONDS (default 20) while nothing happens, on the login page and on the
# search page docked at the left edge and shown (the pointer resting on it).
# Three rounds each; prints every round and the medians.
#   bench/run-idle.sh [BUILD_DIR] [SECONDS]
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${2:-20}
source "$root/tests/e2e/e2e_lib.sh" "${1:-$root/build}"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# busy PID: percent of one core used over the measuring time, after a few
# seconds for the work that follows a change (the page engine starting) to end.
busy() {
  local hz t0 t1
  sleep 5
  hz=$(getconf CLK_TCK)
  t0=$(ticks "$1")
  sleep "$seconds"
  t1=$(ticks "$1")
  awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f\n", 100 * (b - a) / hz / s }'
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

start_display
start_service
login=() docked=() rss=()
for round in 1 2 3; do
  start_client "r$round" 300
  eval "pid=\$PID_r$round win=\$WIN_r$round"
  xdotool mousemove 1000 800
  login+=("$(busy "$pid")")
  sign_in "$win" demo demo123
  xdotool mousemove --window "$win" 120 10 mousedown 1
  xdotool mousemove 20 200
  xdotool mouseup 1
  xdotool mousemove 100 600
  docked+=("$(busy "$pid")")
  rss+=("$(awk '/^VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$pid/status")")
  kill "$pid"
  echo "round $round: login page ${login[-1]} %, docked search page ${docked[-1]} % of one core, ${rss[-1]} MiB resident"
done
echo "median over ${seconds} s: login page $(median "${login[@]}") %, docked search page $(median "${docked[@]}") % of one core, $(median "${rss[@]}") MiB resident"
