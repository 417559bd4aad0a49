#!/usr/bin/env bash
# The client as a screen reader meets it: a private session bus, the AT-SPI bus
# and registry it starts, a window manager, the service, and the client with its
# accessibility on; screen_reader.py drives it by AT-SPI alone; the service's log
# shows that the password typed, cut and pasted over arrived whole.
if [ -z "${TALLYRO_PRIVATE_BUS:-}" ]; then
  exec env TALLYRO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/e2e_lib.sh"

start_display
# The session bus starts the AT-SPI bus and registry, which types on this display.
dbus-update-activation-environment DISPLAY
openbox >"$WORK/openbox.log" 2>&1 &
PIDS+=($!)
poll sh -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" || fail "no window manager"
start_service
/usr/bin/python3 "$(dirname "$0")/screen_reader.py" demo demo123 60000 \
  >"$WORK/reader.log" 2>"$WORK/reader.err" &
reader=$!
PIDS+=($reader)
wait_for_log "^listening" "$WORK/reader.log"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 start_client reader 300
wait "$reader" || fail "the screen reader's walk: $(cat "$WORK/reader.log" "$WORK/reader.err")"
wait_for_login demo demo123
echo "accessibility e2e: 1 passed, 0 failed"
