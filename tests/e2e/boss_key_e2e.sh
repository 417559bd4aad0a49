#!/usr/bin/env bash
# The boss key end to end: Ctrl+Alt+Z pressed while another program's window
# has the focus hides the client's windows, pressed again shows them where they
# were; a client started while another X client holds the key says so in one
# line and runs on without it.
source "$(dirname "$0")/e2e_lib.sh"

helper() {
  "$BUILD/tests/e2e/e2e_x_helper" "$1" >"$WORK/$1.out" 2>&1 &
  PIDS+=($!)
  poll grep -q ready "$WORK/$1.out" || fail "the helper did not get its $1"
}

start_display
start_client one 300
W=$WIN_one
helper window
other=$(poll xdotool search --name '^other program$') || fail "no other window"
xdotool windowfocus --sync "$other"
xdotool key ctrl+alt+z
poll unmapped "$W" || fail "the boss key left the window up"
xdotool key ctrl+alt+z
poll mapped "$W" || fail "the boss key did not bring the window back"
geometry_is "$W" 300 30

# Another program holds the key: the next client says so and runs on.
kill "$PID_one"
poll gone "$PID_one" || fail "the client did not end"
helper grab
start_client two 900
wait_for_log "^tallyro: the boss key Ctrl+Alt+Z is off: another program holds it$" "$WORK/two/client.log"
[ "$(grep -c '^tallyro: ' "$WORK/two/client.log")" = 1 ] || fail "said: $(cat "$WORK/two/client.log")"
echo "boss key e2e: 1 passed, 0 failed"
