#!/usr/bin/env bash
# screens.sh BUILD_DIR OUT_DIR: the pictures of the user's guide, taken from the
# real client under Xvfb against tallyro-service on the built-in ports (run it
# where nothing else holds them: scripts/screenshots.sh gives it a network of its
# own). Each waits for what it shows, as the end-to-end tests do.
OUT=${2:?usage: $0 BUILD_DIR OUT_DIR}
source "$(dirname "$0")/../../tests/e2e/e2e_lib.sh"

# keep WIN NAME: the window, reduced to a small palette (the skin has few colours).
keep() { import -window "$1" -depth 8 -colors 128 "PNG8:$OUT/$2.png"; }

start_display
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
start_service
operator "price sz002594 1.00 60"  # under its support level: the watch list's alert
start_client guide 1400
W=$WIN_guide
windows_at_start=$(xdotool search --all --onlyvisible --pid "$PID_guide" 2>/dev/null | wc -l)
keep "$W" login
sign_in "$W" demo demo123
selected=$(pixel "$W" 4 146)  # tab 1's selected face
list=$(region "$W" 10 175 220 90)
type_into "$W" 100 146 600
wait_region_change "$W" 10 175 220 90 "$list" "matches listed"
xdotool mousemove 900 500  # the pointer off the rows: no row lit by hover
keep "$W" search
xdotool key Down  # the first row, then its code in the box, then its analysis
wait_pixel "$W" 170 183 3C3C3C "first row selected by Down"
box=$(region "$W" 60 138 130 16)
xdotool key Return
wait_region_change "$W" 60 138 130 16 "$box" "box completed to the code"
xdotool key Return
wait_for_log "http GET /RequestGpInfo.asp?GpID=sh600000" "$WORK/service.log"
wait_pixel "$W" 4 183 "$selected" "result page"
xdotool mousemove 900 500
sleep 0.5  # the result page's text boxes draw once after the switch
keep "$W" analysis

# The watch list: star BYD, whose price lies under its support level. Alerts
# show beside the tray (no notification service here: the tray's own balloon,
# one more window of the client's); the first one, whichever favourite it is for,
# is the picture.
windows_now() { xdotool search --all --onlyvisible --pid "$PID_guide" 2>/dev/null | wc -l; }
more_windows() { [ "$(windows_now)" -gt "$1" ]; }
poll more_windows "$windows_at_start" || fail "no alert beside the tray"
sleep 0.5  # the balloon draws once it is mapped
import -window root -crop 320x130+1600+950 -depth 8 -colors 128 "PNG8:$OUT/alert.png"
click_at "$W" 20 146
wait_pixel "$W" 4 146 "$selected" "search page again"
list=$(region "$W" 10 175 220 90)
replace_text "$W" 100 146 002594
wait_region_change "$W" 10 175 220 90 "$list" "BYD listed"
click_at "$W" 189 184
wait_for_log "http GET /RequestGpInfo.asp?GpID=sz002594" "$WORK/service.log"
# The empty box lists the favourites, each with its price and where it stands
# between its levels.
replace_text "$W" 100 146 x
xdotool key BackSpace
xdotool mousemove 900 500
# The round after sign-in reaches the eighth favourite last.
poll has_ink "$W" 200 388 20 12 || fail "no price on the eighth favourite"
sleep 0.5
keep "$W" favourites

# Dragged to the right edge: docked, full height; then slid out, a strip left.
xdotool mousemove --window "$W" 120 10 mousedown 1
xdotool mousemove 1910 200
xdotool mouseup 1
geometry_is "$W" 1680 0 1050
import -window root -crop 520x1080+1400+0 -depth 8 -colors 128 "PNG8:$OUT/docked.png"
xdotool mousemove 900 500
geometry_is "$W" 1915 0
import -window root -crop 520x1080+1400+0 -depth 8 -colors 128 "PNG8:$OUT/slid-out.png"
echo "screens: pictures in $OUT"
