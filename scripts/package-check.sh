#!/usr/bin/env bash
# Checks the Debian packages the way a user meets them: builds both
# (scripts/package.sh), installs them with apt, starts the service as its
# systemd unit says (through systemd where it runs, else directly as the unit's
# user), starts the client by the Exec line of its menu entry under Xvfb, signs
# in and runs one search, then purges both packages and shows that nothing is
# left but the user's own files. Run as root on Debian 12; uses the client's
# built-in ports 4116 and 8340.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "package-check: run as root (it installs packages)" >&2; exit 1; }

# The end-to-end helpers: private display, waits, clicks. Their cleanup runs last.
set -- /nonexistent
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$ROOT/tests/e2e/e2e_lib.sh"
step() { printf '\n== %s\n' "$*"; }

installed=0
finish() {
  local code=$?
  if [ "$installed" = 1 ]; then
    apt-get purge -y -q tallyro tallyro-service >/dev/null 2>&1 || true
  fi
  (exit $code)
  cleanup
}
trap finish EXIT

for port in 4116 8340; do
  if ss -Hlntu | awk '{print $5}' | grep -q ":$port\$"; then fail "port $port is in use"; fi
done
getent passwd tallyro-service >/dev/null && fail "a tallyro-service user exists before the install"

step "building the packages (scripts/package.sh)"
mapfile -t debs < <("$ROOT/scripts/package.sh" 2>"$WORK/package.log") || {
  tail -n 30 "$WORK/package.log"; fail "the packages did not build"; }
for deb in "${debs[@]}"; do
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done

step "apt-get install"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${debs[@]}" 2>&1 | grep -E '^(Setting up|Unpacking) tallyro' || true
for pkg in tallyro tallyro-service; do dpkg -L "$pkg" | sort >"$WORK/$pkg.files"; done
grep -hE 'bin/|\.so$|\.desktop$|metainfo/|\.service$|QsDate|share/tallyro-service$|\.svg$' \
  "$WORK/tallyro.files" "$WORK/tallyro-service.files"
echo "icons: $(grep -c 'hicolor/.*/apps/tallyro' "$WORK/tallyro.files")"
echo "user: $(getent passwd tallyro-service)"
echo "state: $(stat -c '%U:%G %a %n' /var/lib/tallyro-service)"

step "starting the service as its unit says"
unit=$(grep '\.service$' "$WORK/tallyro-service.files")
key() { sed -n "s/^$1=//p" "$unit"; }
exec_start=$(key ExecStart)
user=$(key User)
group=$(key Group)
echo "$unit: User=$user ExecStart=$exec_start"
if [ -d /run/systemd/system ]; then
  systemctl start tallyro-service.service
  journalctl -f -u tallyro-service.service -o cat >"$WORK/service.log" &
  PIDS+=($!)
else
  # What systemd does first: the runtime and state folders, owned by the user.
  for dir in $(key RuntimeDirectory); do install -d -o "$user" -g "$group" "/run/$dir"; done
  for dir in $(key StateDirectory); do install -d -o "$user" -g "$group" -m 0750 "/var/lib/$dir"; done
  # shellcheck disable=SC2086  # ExecStart is a word list, as systemd splits it
  setpriv --reuid="$user" --regid="$group" --init-groups --no-new-privs -- $exec_start \
    </dev/null >"$WORK/service.log" 2>&1 &
  PIDS+=($!)
  SERVICE_PID=$!
fi
wait_for_log "tallyro-service ready" "$WORK/service.log"
grep -E "ready|operator commands" "$WORK/service.log" | cut -c14-
echo "running as: $(ps -o user= -p "${SERVICE_PID:-$(pidof tallyro-service)}")"

step "an account, through the state folder's database and the control socket"
db=$(sed -n 's/.*--db \([^ ]*\).*/\1/p' <<<"$exec_start")
setpriv --reuid="$user" --regid="$group" --init-groups -- \
  tallyro-service --db "$db" --add-account demo:demo123
tallyro-service ctl accounts

step "the client by its menu entry's Exec line, under Xvfb"
desktop=$(grep '\.desktop$' "$WORK/tallyro.files")
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ *%[fFuUick]//g')
echo "$desktop: Exec=$exec_line"
start_display
home=$WORK/home
mkdir -p "$home/.config/Tallyro"
# The window's place, as the user's own settings file.
printf '[WindowMove]\r\nMainTop=450\r\nMainLeft=4500\r\nMainVisible=中\r\n' \
  | iconv -f UTF-8 -t GBK >"$home/.config/Tallyro/config.ini"
(cd / && HOME=$home QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu exec sh -c "exec $exec_line") \
  >"$WORK/client.log" 2>&1 &
PIDS+=($!)
CLIENT_PID=$!
W=$(main_window "$CLIENT_PID") || fail "the client showed no window"
wait_pixel "$W" 200 450 404040 "login page drawn"
echo "window $W shown by pid $CLIENT_PID ($(readlink "/proc/$CLIENT_PID/exe"))"

step "signing in and searching"
sign_in "$W" demo demo123
wait_for_log "LoginOk" "$WORK/service.log"
tab1_selected=$(pixel "$W" 4 146)
request_first_match "$W" 600
wait_for_log "GET /RequestGpInfo.asp?GpID=sh600000&UserID=demo.* -> 302 answer" "$WORK/service.log"
wait_pixel "$W" 4 183 "$tab1_selected" "result page"
grep -E "LoginOk|RequestGpInfo" "$WORK/service.log" | cut -c14- | head -n 3
tallyro-service ctl sessions
echo "client's web engine: $(grep -m1 -o '/[^ ]*libtallyro_web.so' "/proc/$CLIENT_PID/maps")"

step "stopping both, purging both packages"
kill "$CLIENT_PID"
if [ -d /run/systemd/system ]; then :; else kill "$SERVICE_PID"; fi
wait "$CLIENT_PID" 2>/dev/null || true
[ -n "${SERVICE_PID:-}" ] && { wait "$SERVICE_PID" 2>/dev/null || true; }
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tallyro tallyro-service 2>&1 | grep -E '^(Removing|Purging)' || true
installed=0

step "what is left"
left=0
while read -r path; do
  # Folders the packages share with the system (/usr, /usr/bin, ...) stay.
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    case "$path" in */tallyro|*/tallyro-service) ;; *) continue ;; esac
  fi
  if [ -e "$path" ] || [ -L "$path" ]; then echo "left: $path"; left=1; fi
done < <(cat "$WORK/tallyro.files" "$WORK/tallyro-service.files")
for path in /var/lib/tallyro-service /run/tallyro-service \
  /etc/systemd/system/multi-user.target.wants/tallyro-service.service \
  /etc/systemd/system/tallyro-service.service; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "left: $path"; left=1; fi
done
if getent passwd tallyro-service >/dev/null || getent group tallyro-service >/dev/null; then
  echo "left: the tallyro-service user or group"; left=1
fi
if grep -rqs tallyro /var/lib/systemd/deb-systemd-helper-enabled /var/lib/systemd/deb-systemd-helper-masked; then
  echo "left: deb-systemd-helper state"; left=1
fi
[ "$left" = 0 ] || fail "the purge left files behind"
echo "nothing of either package is left; the user's own files stay:"
(cd "$home" && find . -type f | sort)
echo "package check: passed"
