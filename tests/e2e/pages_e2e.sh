#!/usr/bin/env bash
# The widened pages against docking end to end, from the default place at the
# top right of a 1920 x 1080 screen: the handbook and the stock-picking pages
# keep the window wholly on the screen; back on the search page the docked window
# hides to its 5-pixel strip and holds still with the pointer resting beside it.
# The window bears the program's name and the menu entry's class, and a normal
# close says nothing on standard error.
source "$(dirname "$0")/e2e_lib.sh"

start_display
start_service
start_client one default
W=$WIN_one
geometry_is "$W" 1650 30
sign_in "$W" demo demo123

# on_screen WIN: the whole window lies on the screen.
on_screen() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$X" -ge 0 ] && [ $((X + WIDTH)) -le 1920 ] || fail "window beyond the screen: $X+$WIDTH"
}
# width_is WIN W: waits until the window is W pixels wide.
width_at() { [[ $(xdotool getwindowgeometry --shell "$1") == *"WIDTH=$2"* ]]; }
width_is() { poll width_at "$1" "$2" || fail "window not $2 wide"; }

click_at "$W" 20 220  # 操盘手册: widened, moved left to stay on the screen
width_is "$W" 450
geometry_is "$W" 1470 30
on_screen "$W"
shot "$W" handbook
click_at "$W" 20 257  # 程序选股: flush with the right edge, docked there by now
geometry_is "$W" 1470 30
on_screen "$W"
# The search page: narrow, at the edge. The pointer, left where tab 1 was, is no
# longer over the docked window: it slides out, 5 pixels staying on screen.
click_at "$W" 20 146
width_is "$W" 240
xdotool mousemove 900 500
geometry_is "$W" 1915 30
import -window root -crop 60x600+1860+0 "$SHOTS/strip.png" 2>/dev/null || true
# The pointer rests just beside the strip: nothing moves for two seconds.
xdotool mousemove 1905 300
moves=0
for _ in $(seq 20); do
  geometry_at "$W" 1915 30 || moves=$((moves + 1))
  sleep 0.1
done
[ "$moves" -eq 0 ] || fail "the hidden window moved $moves times with the pointer beside it"
# Touching the strip brings it back flush with the edge.
xdotool mousemove 1917 300
geometry_is "$W" 1680 30

# The window's name and class, as window lists and the menu entry see them.
xprop -id "$W" WM_NAME WM_CLASS >"$WORK/props"
grep -q 'WM_NAME(.*) = "Tallyro"' "$WORK/props" || fail "window name: $(cat "$WORK/props")"
class=$(grep '^StartupWMClass=' "$(dirname "$0")/../../packaging/org.tallyro.Tallyro.desktop" | cut -d= -f2)
grep -q "WM_CLASS(.*) = \"tallyro\", \"$class\"" "$WORK/props" || fail "window class: $(cat "$WORK/props")"

# The close button ends the program quietly.
click_at "$W" 217 14
poll gone "$PID_one" || fail "the close button did not end the client"
grep -v '^QStandardPaths: ' "$WORK/one/client.log" >"$WORK/said" || true
[ ! -s "$WORK/said" ] || fail "a normal close said: $(cat "$WORK/said")"
echo "pages e2e: 1 passed, 0 failed"
