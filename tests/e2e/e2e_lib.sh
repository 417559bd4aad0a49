# Shared helpers of the end-to-end tests: a private X display, the service on
# the client's built-in ports, and clients started from their own folders so
# their config.ini and QsDate.mdb never touch the build's.
set -euo pipefail

BUILD=${1:?usage: $0 BUILD_DIR}
BIN=$BUILD/bin
WORK=$(mktemp -d /tmp/tallyro-e2e.XXXXXX)
PIDS=()
SHOTS=${TALLYRO_E2E_SHOTS:-$WORK}

cleanup() {
  local code=$?
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ $code -ne 0 ]; then
    echo "---- service log"; cat "$WORK/service.log" 2>/dev/null || true
    tail -n 40 "$WORK"/*/client.log "$WORK"/trayer.log 2>/dev/null || true
  fi
  rm -rf "$WORK"
  exit $code
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
# poll CMD...: runs CMD every 0.1 s until it succeeds; false after 30 s.
poll() { for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done; return 1; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# A private X display: an Xvfb whose number is taken ends at once and the next
# is tried. -noreset, or it would reset (and refuse us) when the probe leaves.
start_display() {
  local n pid
  for n in $(shuf -i 200-899 -n 40); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 300); do
      kill -0 "$pid" 2>/dev/null || break
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        PIDS+=($pid)
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  fail "no X display could be started"
}

# The service with a fresh account database; operator types on its console.
start_service() {
  mkfifo "$WORK/console"
  "$BIN/tallyro-service" --db "$WORK/accounts.db" --demo-account demo:demo123 --probe-seconds 60 \
    <"$WORK/console" >"$WORK/service.log" 2>&1 &
  PIDS+=($!)
  exec 7>"$WORK/console"
  poll grep -q "ready" "$WORK/service.log" || fail "the service did not start"
}

operator() { echo "$*" >&7; }

# mapped WIN: the window is mapped (shown), whatever its name.
mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! mapped "$1"; }

# main_window PID: waits for the client's main window and prints its id (the
# tray icon's window bears the same name, but is a few pixels wide).
main_window_now() {
  local w
  for w in $(xdotool search --all --onlyvisible --pid "$1" --name '^Tallyro$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    [ "$WIDTH" -ge 200 ] && { echo "$w"; return 0; }
  done
  return 1
}
main_window() { poll main_window_now "$1"; }

# start_client NAME LEFT: the client in a folder of its own, its window LEFT
# pixels from the screen's left edge by its config.ini, so no two windows overlap
# ("default": no config.ini). Returns once the window is mapped and drawn.
start_client() { install_client "$@"; launch_client "$1"; }
install_client() {
  local dir=$WORK/$1 left=${2:-300}
  mkdir -p "$dir"
  cp "$BIN/tallyro" "$BIN/QsDate.mdb" "$dir/"
  cp "$BIN/libtallyro_web.so" "$dir/" 2>/dev/null || true
  if [ "$left" != default ]; then
    printf '[WindowMove]\r\nMainTop=450\r\nMainLeft=%d\r\nMainVisible=中\r\n' $((left * 15)) \
      | iconv -f UTF-8 -t GBK >"$dir/config.ini"
  fi
}

# launch_client NAME: starts the client installed in its folder; sets PID_NAME, WIN_NAME.
launch_client() {
  local dir=$WORK/$1
  QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu "$dir/tallyro" >>"$dir/client.log" 2>&1 &
  local pid=$! win
  PIDS+=($pid)
  eval "PID_$1=$pid"
  win=$(main_window "$pid") || fail "client $1 showed no window"
  eval "WIN_$1=$win"
  # Drawn: the login page's dark skin below the boxes.
  wait_pixel "$win" 200 450 404040 "client $1 drawn"
}

# geometry_is WIN X Y [H]: waits until the window stands at X,Y (and is H tall).
geometry_at() {
  g=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | tr '\n' ' ') || true
  [[ $g == *"X=$2 Y=$3 "* ]] && { [ -z "${4:-}" ] || [[ $g == *"HEIGHT=$4 "* ]]; }
}
geometry_is() { g=""; poll geometry_at "$@" || fail "window not at $2,$3${4:+ with height $4}: $g"; }

click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# region WIN X Y W H: a fingerprint of what a rectangle of the window shows.
region() {
  import -window "$1" -crop "${4}x${5}+$2+$3" -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}

# wait_region_change WIN X Y W H BEFORE WHAT: waits until the rectangle shows other than BEFORE.
shows_other() { [ "$(region "$1" "$2" "$3" "$4" "$5")" != "$6" ]; }
wait_region_change() { poll shows_other "$@" || fail "$7: nothing changed on screen"; }

# type_into WIN X Y TEXT: clicks the text box at X,Y, types, and waits until the text shows.
type_into() {
  local before
  before=$(region "$1" $(($2 - 40)) $(($3 - 8)) 130 16)
  click_at "$1" "$2" "$3"
  # A busy program may not have taken the focus from the click yet.
  xdotool windowfocus --sync "$1"
  xdotool type --delay 20 "$4"
  wait_region_change "$1" $(($2 - 40)) $(($3 - 8)) 130 16 "$before" "typing '$4'"
}

# replace_text WIN X Y TEXT: types TEXT over all the box at X,Y holds.
replace_text() {
  click_at "$1" "$2" "$3"
  xdotool windowfocus --sync "$1"
  xdotool key ctrl+a
  xdotool type --delay 20 "$4"
}

# has_ink WIN X Y W H: the rectangle shows more than one colour (something is drawn).
has_ink() {
  [ "$(import -window "$1" -crop "${4}x${5}+$2+$3" -format %k info: 2>/dev/null)" -gt 1 ]
}

# pixel WIN X Y: the colour of one pixel of the window, as RRGGBB.
pixel() {
  import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null | tail -n 1 | grep -o '#[0-9A-F]\{6\}' | tr -d '#'
}

# wait_pixel WIN X Y RRGGBB [WHAT]: waits for the pixel to take the colour.
pixel_is() { got=$(pixel "$1" "$2" "$3"); [ "$got" = "$4" ]; }
wait_pixel() { got=""; poll pixel_is "$@" || fail "${5:-pixel $2,$3}: expected $4, saw $got"; }
wait_for_log() { poll grep -q -- "$1" "$2" || fail "never saw '$1' in $(basename "$2")"; }
# wait_for_login NAME PASSWORD: the service heard NAME sign in with the upper-case
# MD5 of PASSWORD, computed here independently of the client.
wait_for_login() {
  local digest
  digest=$(printf '%s' "$2" | md5sum | cut -d' ' -f1 | tr a-f A-F)
  wait_for_log "udp <- 127.0.0.1:[0-9]* Login|$1|${digest:0:4}…|10.09" "$WORK/service.log"
}

shot() { import -window "$1" "$SHOTS/$2.png" 2>/dev/null || true; }

# sign_in WIN NAME PASSWORD: types both boxes of the login page, presses Enter
# and waits for the search page (its list area is white, the login page dark).
sign_in() {
  type_into "$1" 100 234 "$2"
  type_into "$1" 100 294 "$3"
  xdotool key Return
  wait_pixel "$1" 200 450 FFFFFF "search page"
}

# request_first_match WIN TEXT: types TEXT into the search box; Down selects
# the first row, Enter completes the box to its code, a second Enter asks for it.
request_first_match() {
  local list box
  list=$(region "$1" 10 175 220 90)
  type_into "$1" 100 146 "$2"
  wait_region_change "$1" 10 175 220 90 "$list" "matches listed"
  xdotool key Down
  # The first row is selected: dark grey between its name and its favourite mark.
  wait_pixel "$1" 170 183 3C3C3C "first row selected by Down"
  box=$(region "$1" 60 138 130 16)
  xdotool key Return
  wait_region_change "$1" 60 138 130 16 "$box" "box completed to the code"
  xdotool key Return
}
