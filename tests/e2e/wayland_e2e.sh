#!/usr/bin/env bash
# The client on a Wayland desktop (a headless weston): with X11 at hand it runs
# there (XWayland's place), quietly; without X11, or when the user asks for
# Wayland, it runs natively and says in one line what cannot work there.
source "$(dirname "$0")/e2e_lib.sh"

export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=wl-tallyro --idle-time=0 >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
poll test -S "$XDG_RUNTIME_DIR/wl-tallyro" || fail "weston did not start"
start_display
install_client one default

said='tallyro: running on wayland without X11: the window cannot be placed'
# run_client LOG ENV...: starts the client with the environment given.
run_client() {
  local log=$WORK/$1; shift
  env "$@" WAYLAND_DISPLAY=wl-tallyro QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
    "$WORK/one/tallyro" >"$log" 2>&1 &
  CLIENT=$!
  PIDS+=($CLIENT)
}
# native LOG ENV...: started so, the client runs on and says in one line what is
# lost; the toolkit's failure to reach X11 is not repeated.
native() {
  run_client "$@"
  local out=$WORK/$1
  poll grep -q "^$said" "$out" || fail "$1: nothing said: $(cat "$out")"
  kill -0 "$CLIENT" 2>/dev/null || fail "$1: the client ended: $(cat "$out")"
  [ "$(grep -c '^tallyro: ' "$out")" = 1 ] || fail "$1: $(cat "$out")"
  ! grep -q 'xcb' "$out" || fail "$1: the failed X11 attempt is reported: $(cat "$out")"
  kill "$CLIENT"; wait "$CLIENT" 2>/dev/null || true
}

native no-x11.log -u DISPLAY
native asked.log QT_QPA_PLATFORM=wayland
# Both at hand: X11, where the window can dock and stay on top; nothing said.
run_client both.log
main_window "$CLIENT" >/dev/null || fail "no window on X11: $(cat "$WORK/both.log")"
! grep -q '^tallyro: ' "$WORK/both.log" || fail "said on X11: $(cat "$WORK/both.log")"
echo "wayland e2e: 1 passed, 0 failed"
