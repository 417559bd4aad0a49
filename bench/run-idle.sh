#!/usr/bin/env bash
# What the running client costs while nothing happens, under Xvfb with trayer as
# the notification area: wake-ups a second (voluntary and involuntary context
# switches of every thread of its process tree, the page engine's processes
# included) and the share of one core it uses, over SECONDS (default 20) after
# settling, beside a bare Qt window measured in the same run. Four states: the
# login page, the search page, docked at the left edge and slid out, minimised
# to the tray; the pointer rests away from the window in each, and the watch
# list's round after sign-in has ended. Three rounds;
# prints every round and the medians.
#   bench/run-idle.sh [BUILD_DIR] [SECONDS]
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${2:-20}
source "$root/tests/e2e/e2e_lib.sh" "${1:-$root/build}"

# The process and all its descendants.
tree() {
  local p
  echo "$1"
  for p in $(pgrep -P "$1"); do tree "$p"; done
}
# The tree now: "t<id> switches" for every thread (voluntary and involuntary
# context switches) and "p<id> ticks" for every process (user and system).
snapshot() {
  local p t
  for p in $(tree "$1"); do
    for t in /proc/"$p"/task/*; do
      awk -v id="t${t##*/}" '/ctxt_switches/ {n += $2} END {if (NR) print id, n}' "$t/status" 2>/dev/null
    done
    awk -v id="p$p" '{print id, $14 + $15}' /proc/"$p"/stat 2>/dev/null
  done
}
# tick PID: "switches ticks" the tree made since the last tick (or the first
# snapshot). A thread or process that ends takes its counts with it, so they are
# taken a second apart and only their growth is added: what one makes in its
# last second is all that can be missed, and a new one counts in full.
tick() {
  snapshot "$1" >"$WORK/now"
  awk 'NR == FNR {was[$1] = $2; next}
       {d = $2 - was[$1]; if (d < 0) d = 0; if ($1 ~ /^t/) s += d; else t += d}
       END {print s + 0, t + 0}' "$WORK/then" "$WORK/now"
  mv "$WORK/now" "$WORK/then"
}
# settle PID: waits until what follows a change has ended: at least 5 s, then
# until the tree makes at most 4 switches in 2 s, or 40 s have passed. A change
# brings bounded work: the page engine starting, or putting away a page that
# was hidden (a burst of some hundred switches, seconds after), and the caret
# blinking for its 10 s after the last click or key.
settle() {
  local _ s
  sleep 5
  snapshot "$1" >"$WORK/then"
  for _ in $(seq 17); do
    sleep 2
    s=$(tick "$1")
    [ "${s% *}" -le 4 ] && return 0
  done
}
# measure PID: "wakeups-a-second cpu-percent" over the measuring time, once settled.
measure() {
  local s=0 t=0 d start end _
  settle "$1"
  snapshot "$1" >"$WORK/then"
  start=$(date +%s.%N)
  for _ in $(seq "$seconds"); do
    sleep 1
    d=$(tick "$1")
    s=$((s + ${d% *})) t=$((t + ${d#* }))
  done
  end=$(date +%s.%N)
  awk -v s="$s" -v t="$t" -v hz="$(getconf CLK_TCK)" -v a="$start" -v b="$end" \
    'BEGIN {printf "%.1f %.2f\n", s / (b - a), 100 * t / hz / (b - a)}'
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
# tray_icon PID: the id of the client's icon in the notification area.
tray_icon() {
  local w
  for w in $(xdotool search --pid "$1" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ] && [ "$WIDTH" -gt 1 ]; then echo "$w"; return 0; fi
  done
  return 1
}

start_display
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
start_service
declare -A got
states="bare login search slid-out minimised"
for round in 1 2 3; do
  "$BIN/../bench/startup/bench_bare_window" &
  bare=$!
  PIDS+=($bare)
  poll xdotool search --onlyvisible --pid "$bare" >/dev/null || fail "no bare window"
  xdotool mousemove 1000 800
  got[bare]+="$(measure "$bare")|"
  kill "$bare"

  start_client "r$round" 300
  eval "pid=\$PID_r$round win=\$WIN_r$round"
  xdotool mousemove 1000 800
  got[login]+="$(measure "$pid")|"
  # The watch list's round after sign-in asks for every favourite, 2 s apart;
  # idle is after it.
  asked=$(grep -c "RequestGpInfo" "$WORK/service.log" || true)
  favourites=$(sqlite3 "$WORK/r$round/QsDate.mdb" "select count(*) from [SearchList]")
  sign_in "$win" demo demo123
  round_done() { [ "$(grep -c "RequestGpInfo" "$WORK/service.log")" -ge $((asked + favourites)) ]; }
  poll round_done || fail "the watch list's round did not end"
  xdotool mousemove 1000 800
  got[search]+="$(measure "$pid")|"
  xdotool mousemove --window "$win" 120 10 mousedown 1
  xdotool mousemove 20 200
  xdotool mouseup 1
  xdotool mousemove 1000 800
  geometry_is "$win" -235 0
  got[slid-out]+="$(measure "$pid")|"
  icon=$(poll tray_icon "$pid") || fail "no tray icon"
  xdotool mousemove --window "$icon" 5 5 click 1
  geometry_is "$win" 0 0
  click_at "$win" 180 10
  poll unmapped "$win" || fail "minimise left the window up"
  xdotool mousemove 1000 800
  got[minimised]+="$(measure "$pid")|"
  rss=$(awk '/^VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$pid/status")
  kill "$pid"
  line="round $round:"
  for s in $states; do
    last=$(echo "${got[$s]}" | tr '|' '\n' | sed '/^$/d' | tail -n 1)
    line+=" $s ${last% *} wake-ups/s ${last#* } %;"
  done
  echo "$line $rss MiB resident"
  rsses+=("$rss")
done
line="median over $seconds s:"
for s in $states; do
  w=() c=()
  while IFS=' ' read -r a b; do w+=("$a"); c+=("$b"); done < <(echo "${got[$s]}" | tr '|' '\n' | sed '/^$/d')
  line+=" $s $(median "${w[@]}") wake-ups/s $(median "${c[@]}") %;"
done
echo "$line $(median "${rsses[@]}") MiB resident"
