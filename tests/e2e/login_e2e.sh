#!/usr/bin/env bash
# Signing in end to end: the real client under Xvfb, driven by xdotool against
# tallyro-service; then a second client takes the session over.
source "$(dirname "$0")/e2e_lib.sh"

start_display
start_service
start_client first 300
shot "$WIN_first" login-page

sign_in "$WIN_first" demo demo123
# MD5("demo123") in upper case, computed here independently of the client.
digest=$(printf '%s' demo123 | md5sum | cut -d' ' -f1 | tr a-f A-F)
wait_for_log "udp <- 127.0.0.1:[0-9]* Login|demo|${digest:0:4}…|10.09" "$WORK/service.log"
wait_for_log "udp -> 127.0.0.1:[0-9]* LoginOk" "$WORK/service.log"
shot "$WIN_first" search-page

# A pushed message opens the popup, named by its title.
operator "push 系统通知|欢迎使用 Tallyro"
wait_for_log "udp -> 127.0.0.1:[0-9]* Msg|" "$WORK/service.log"
popup=$(poll visible "$PID_first" 系统通知) || fail "no popup for the pushed message"
eval "$(xdotool getwindowgeometry --shell "$popup")"
[ "$WIDTH" = 260 ] && [ "$HEIGHT" = 180 ] || fail "popup is ${WIDTH}x${HEIGHT}"
shot "$popup" popup

# The same account from a second client, its window beside the first: the first
# loses its session.
start_client second 700
sign_in "$WIN_second" demo demo123
wait_for_log "udp <- 127.0.0.1:[0-9]* Login|demo|${digest:0:4}…|10.09" "$WORK/service.log"
wait_for_log "udp -> 127.0.0.1:[0-9]* Err|Users" "$WORK/service.log"
wait_pixel "$WIN_first" 200 450 404040 "first client back on its loading page"
shot "$WIN_first" session-taken

# The close button saves the place in GBK and ends the program; the next start
# comes back to it.
click_at "$WIN_first" 217 14
poll gone "$PID_first" || fail "the close button did not end the client"
ini=$WORK/first/config.ini
[ -f "$ini" ] || fail "no config.ini after closing"
grep -q "^MainTop=450" "$ini" || fail "MainTop not saved: $(cat "$ini")"
grep -q "^MainLeft=$(( 300 * 15 ))" "$ini" || fail "MainLeft not saved: $(cat "$ini")"
grep -q "$(printf 'MainVisible=\xd6\xd0')" "$ini" || fail "MainVisible not saved in GBK"
printf '[WindowMove]\r\nMainTop=1500\r\nMainLeft=3000\r\n' >"$ini"
"$WORK/first/tallyro" >"$WORK/first/again.log" 2>&1 &
again_pid=$!
PIDS+=($!)
again=$(main_window "$again_pid") || fail "the restarted client showed no window: $(cat "$WORK/first/again.log")"
eval "$(xdotool getwindowgeometry --shell "$again")"
[ "$X" = 200 ] && [ "$Y" = 100 ] || fail "restarted at $X,$Y instead of 200,100"
echo "login e2e: 1 passed, 0 failed"
