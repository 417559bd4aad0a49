#!/usr/bin/env bash
# Installs what is missing, builds, starts tallyro-service with its demo
# account and then the client. Without a display (a server, CI) the client runs
# under Xvfb; a screenshot of its window is saved and its path printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
TALLYRO_BUILD_DIR=$build "$root/scripts/build.sh"

export QTWEBENGINE_CHROMIUM_FLAGS=${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

if [ -x "$build/bin/tallyro-service" ]; then
  service_dir=${TALLYRO_SERVICE_DIR:-$HOME/.local/share/tallyro-service}
  mkdir -p "$service_dir"
  "$build/bin/tallyro-service" --db "$service_dir/accounts.db" --demo-account demo:demo123 &
  pids+=($!)
  sleep 0.5
fi

# A display number nobody holds: no lock file, no socket, and our own Xvfb
# answering on it (one that cannot take the number ends at once).
start_xvfb() {
  local n pid
  for n in $(seq 90 189); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        pids+=($pid)
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "run.sh: no free X display from :90 to :189" >&2
  exit 1
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  start_xvfb
  "$build/bin/tallyro" &
  client=$!
  pids+=($client)
  for _ in $(seq 100); do
    xdotool search --onlyvisible --pid "$client" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 2
  shot=${TALLYRO_SCREENSHOT:-$build/tallyro-screenshot.png}
  win=$(xdotool search --onlyvisible --pid "$client" | head -n 1)
  if [ -n "$win" ]; then import -window "$win" "$shot"; else import -window root "$shot"; fi
  echo "No display: the client runs under Xvfb ($DISPLAY). Screenshot of its window: $shot"
  echo "Press Ctrl+C to stop."
  wait "$client"
else
  "$build/bin/tallyro"
fi
