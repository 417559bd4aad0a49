#!/usr/bin/env bash
# The watch list end to end: a recording notification service on a private session
# bus, trayer as the notification area, one price pinned under its support level.
# Star two stocks, see their prices, receive one alert, click it, read the analysis.
if [ -z "${TALLYRO_PRIVATE_BUS:-}" ]; then
  exec env TALLYRO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/e2e_lib.sh"

alerts=$WORK/notifications.log
: >"$alerts"
/usr/bin/python3 "$(dirname "$0")/notifications.py" "$alerts" >"$WORK/recorder.log" 2>&1 &
PIDS+=($!)
wait_for_log "^ready" "$WORK/recorder.log"

start_display
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
poll xdotool search --classname trayer >/dev/null 2>&1 || fail "trayer did not start"
start_service
# BYD at 1.00 for an hour: far under any support level its daily bars give.
operator "price sz002594 1.00 60"
wait_for_log "sz002594 priced at 1.00 for 60 min" "$WORK/service.log"

# A client whose favourites are only the two this test stars.
install_client w 300
sqlite3 "$WORK/w/QsDate.mdb" "delete from [SearchList]"
launch_client w
W=$WIN_w
sign_in "$W" demo demo123
tab1_selected=$(pixel "$W" 4 146)

requests() { grep -c "http GET /RequestGpInfo.asp?GpID=$1&" "$WORK/service.log" || true; }
requests_above() { [ "$(requests "$1")" -gt "$2" ]; }
byd_alerts() { grep -c "^Tallyro|比亚迪 1.00 触及支撑位 [0-9.]*|" "$alerts" || true; }

# star CODE: finds the stock and clicks the mark at the end of its row.
star() {
  local list
  list=$(region "$W" 10 175 220 90)
  replace_text "$W" 100 146 "$1"
  wait_region_change "$W" 10 175 220 90 "$list" "matches of $1 listed"
  click_at "$W" 189 184
}

star 002594
# A new favourite's price is asked at once, and it lies under the support level.
poll grep -q "^Tallyro|比亚迪 1.00 触及支撑位 [0-9.]*|" "$alerts" || fail "no alert for BYD: $(cat "$alerts")"
star 300750
# One request at a time: CATL's asked only once BYD's answer has been handled.
wait_for_log "http GET /RequestGpInfo.asp?GpID=sz300750&UserID=demo&" "$WORK/service.log"

# The empty box lists the favourites, in the order starred, each with its price.
replace_text "$W" 100 146 x
xdotool key BackSpace
poll has_ink "$W" 200 178 20 12 || fail "BYD's row shows no price"
poll has_ink "$W" 200 208 20 12 || fail "CATL's row shows no price"

# Clicking the alert brings the analysis of that stock.
before=$(requests sz002594)
id=$(grep "^Tallyro|比亚迪 " "$alerts" | head -n 1 | awk -F'|' '{print $NF}')
dbus-send --session --dest=org.freedesktop.Notifications --type=method_call \
  /org/freedesktop/Notifications org.tallyro.Test.Click "uint32:$id"
poll requests_above sz002594 "$before" || fail "the click asked for no analysis"
wait_pixel "$W" 4 183 "$tab1_selected" "result page after the alert's click"

[ "$(byd_alerts)" = 1 ] || fail "more than one alert for BYD: $(cat "$alerts")"
echo "watch e2e: 1 passed, 0 failed"
