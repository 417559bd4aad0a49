#!/usr/bin/env bash
# The window on the desktop end to end, with trayer as a real notification area:
# a link reaches the browser, a drag docks the window at the left edge, it slides
# out when the pointer leaves and back when it touches the strip; minimise and
# the tray click bring it back; the tray menu's exit ends the program without
# writing config.ini; a move from outside is what the close button saves.
source "$(dirname "$0")/e2e_lib.sh"

start_display
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
poll xdotool search --classname trayer >/dev/null 2>&1 || fail "trayer did not start"

# The user's browser: a recorder of the addresses it is asked to open.
cat >"$WORK/browser" <<EOS
#!/bin/sh
echo "\$@" >>"$WORK/opened"
EOS
chmod +x "$WORK/browser"
export BROWSER=$WORK/browser DEFAULT_BROWSER=$WORK/browser

start_client one 300
W=$WIN_one
ini=$WORK/one/config.ini
ini_before=$(md5sum <"$ini")

# "官方网站" opens the site's home page in the browser; under the pointer the
# link takes its hover colour.
link=$(region "$W" 35 538 60 16)
click_at "$W" 45 546
wait_for_log "http://127.0.0.1:8340" "$WORK/opened"
[ "$(cat "$WORK/opened")" = "http://127.0.0.1:8340" ] || fail "opened: $(cat "$WORK/opened")"
wait_region_change "$W" 35 538 60 16 "$link" "the link's hover look"
shot "$W" hover-link
# The login button's hover face.
button=$(region "$W" 75 355 90 36)
xdotool mousemove --window "$W" 120 372
wait_region_change "$W" 75 355 90 36 "$button" "the login button's hover look"
shot "$W" hover-button

# Drag the title strip to the left edge: docked at 0,0, screen height - 30 px tall.
xdotool mousemove --window "$W" 120 10 mousedown 1
xdotool mousemove 20 200
xdotool mouseup 1
geometry_is "$W" 0 0 1050
shot "$W" docked
# The pointer leaves: the window slides out, 5 pixels stay on screen.
xdotool mousemove 900 500
geometry_is "$W" -235 0
import -window root -crop 40x200+0+0 "$SHOTS/slid-out.png" 2>/dev/null || true
# Touching the strip brings it back.
xdotool mousemove 2 300
geometry_is "$W" 0 0

# Minimise, then a left click on the tray icon brings the window back.
click_at "$W" 180 10
poll unmapped "$W" || { import -window root "$SHOTS/minimise-failed.png"; fail "minimise left the window up"; }
icon=""
for _ in $(seq 300); do
  for w in $(xdotool search --pid "$PID_one" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ] && [ "$WIDTH" -gt 1 ]; then icon=$w; break 2; fi
  done
  sleep 0.1
done
[ -n "$icon" ] || fail "no tray icon"
xdotool mousemove --window "$icon" 5 5 click 1
poll mapped "$W" || fail "the tray click did not bring the window back"
geometry_is "$W" 0 0

# A right click opens the menu; its second item, "退出软件", ends the program
# without writing config.ini.
xdotool mousemove --window "$icon" 5 5 click 3
menu=""
for _ in $(seq 300); do
  for w in $(xdotool search --onlyvisible --pid "$PID_one" 2>/dev/null); do
    [ "$w" = "$W" ] || [ "$w" = "$icon" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    if [ "$HEIGHT" -gt 30 ] && [ "$HEIGHT" -lt 200 ]; then menu=$w; break 2; fi
  done
  sleep 0.1
done
[ -n "$menu" ] || fail "no tray menu"
eval "$(xdotool getwindowgeometry --shell "$menu")"
import -window root "$SHOTS/tray-menu.png" 2>/dev/null || true
xdotool mousemove --window "$menu" $((WIDTH / 2)) $((HEIGHT * 3 / 4)) click 1
poll gone "$PID_one" || fail "the menu's exit did not end the client"
[ "$(md5sum <"$ini")" = "$ini_before" ] || fail "exit wrote config.ini: $(cat "$ini")"

# A move from outside is where the window is: the close button saves it.
start_client two 300
xdotool windowmove "$WIN_two" 600 200
geometry_is "$WIN_two" 600 200
click_at "$WIN_two" 217 14
poll gone "$PID_two" || fail "the close button did not end the client"
grep -q "^MainLeft=$((600 * 15))" "$WORK/two/config.ini" || fail "moved place not saved: $(cat "$WORK/two/config.ini")"
grep -q "^MainTop=$((200 * 15))" "$WORK/two/config.ini" || fail "moved top not saved"
echo "window e2e: 1 passed, 0 failed"
