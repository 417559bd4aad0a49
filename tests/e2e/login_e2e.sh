#!/usr/bin/env bash
# Signing in end to end: the real client under Xvfb, driven by xdotool against
# tallyro-service; then a second client takes the session over.
source "$(dirname "$0")/e2e_lib.sh"

start_display
start_service
start_client first 300
sign_in "$WIN_first" demo demo123
wait_for_login demo demo123

# A pushed message opens the popup, named by its title.
operator "push 系统通知|欢迎使用 Tallyro"
poll xdotool search --all --onlyvisible --pid "$PID_first" --name '^系统通知$' >/dev/null \
  || fail "no popup for the pushed message"

# The same account from a second client beside the first: the first loses its session.
start_client second 700
sign_in "$WIN_second" demo demo123
wait_for_log "udp -> 127.0.0.1:[0-9]* Err|Users" "$WORK/service.log"
wait_pixel "$WIN_first" 200 450 404040 "first client back on its loading page"

# The close button ends the program; the next start takes its place from config.ini.
click_at "$WIN_first" 217 14
poll gone "$PID_first" || fail "the close button did not end the client"
printf '[WindowMove]\r\nMainTop=1500\r\nMainLeft=3000\r\n' >"$WORK/first/config.ini"
launch_client first
geometry_is "$WIN_first" 200 100
echo "login e2e: 1 passed, 0 failed"
