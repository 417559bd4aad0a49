#!/usr/bin/env bash
# The widened pages against docking end to end, from the default place at the top
# right of the screen: wide pages keep the window on the screen; back on the search
# page the docked window hides to its 5-pixel strip. Then its class, and a quiet close.
source "$(dirname "$0")/e2e_lib.sh"

start_display
start_service
start_client one default
W=$WIN_one
geometry_is "$W" 1650 30
sign_in "$W" demo demo123

width_at() { [[ $(xdotool getwindowgeometry --shell "$1") == *"WIDTH=$2"* ]]; }
click_at "$W" 20 220  # 操盘手册: 450 wide, moved left to end at the screen's edge
poll width_at "$W" 450 || fail "the handbook did not widen the window"
geometry_is "$W" 1470 30
click_at "$W" 20 257  # 程序选股: flush with the right edge, docked there by now
geometry_is "$W" 1470 30
eval "$(xdotool getwindowgeometry --shell "$W")"
[ $((X + WIDTH)) -le 1920 ] || fail "程序选股 runs beyond the screen: $X+$WIDTH"
# The search page: narrow, at the edge. The pointer, left where tab 1 was, is no
# longer over the docked window: it slides out, 5 pixels staying on screen.
click_at "$W" 20 146
poll width_at "$W" 240 || fail "the search page did not narrow the window"
xdotool mousemove 900 500
geometry_is "$W" 1915 30
# The pointer resting just beside the strip leaves the window where it is.
xdotool mousemove 1905 300
for _ in $(seq 20); do geometry_at "$W" 1915 30 || fail "the hidden window moved"; sleep 0.1; done
xdotool mousemove 1917 300  # touching the strip brings it back, flush with the edge
geometry_is "$W" 1680 30

# The window's class, as the menu entry names it (its name is what main_window seeks).
class=$(grep '^StartupWMClass=' "$(dirname "$0")/../../packaging/org.tallyro.Tallyro.desktop" | cut -d= -f2)
xprop -id "$W" WM_CLASS | grep -q "WM_CLASS(.*) = \"tallyro\", \"$class\"" \
  || fail "window class: $(xprop -id "$W" WM_CLASS)"

# The close button ends the program quietly.
click_at "$W" 217 14
poll gone "$PID_one" || fail "the close button did not end the client"
grep -v '^QStandardPaths: ' "$WORK/one/client.log" >"$WORK/said" || true
[ ! -s "$WORK/said" ] || fail "a normal close said: $(cat "$WORK/said")"
echo "pages e2e: 1 passed, 0 failed"
