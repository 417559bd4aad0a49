#!/usr/bin/env bash
# command_line_test.sh <bin dir>: the real client's --help, --version and refusals without a
# display; a quiet start unless --verbose or QT_LOGGING_RULES asks for the engine's report.
set -u
w=$(mktemp -d) client=""
trap '[ -n "$client" ] && kill $client 2>/dev/null; rm -rf "$w"' EXIT
fail() { echo "FAIL: $*: $(cat "$w/err" 2>/dev/null)" >&2; exit 1; }
cp "$1/tallyro" "$1/libtallyro_web.so" "$1/QsDate.mdb" "$w/"
export HOME=$w XDG_CONFIG_HOME=$w/.config XDG_DATA_HOME=$w/.local/share
bare() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$w/tallyro" "$@" 2>"$w/err"; }
help=$(bare --help) && [ ! -s "$w/err" ] || fail "--help fails or writes to standard error"
for option in --login-host --login-port --web-base --verbose --version; do
  grep -q -- "$option" <<<"$help" || fail "--help does not mention $option"
done
out=$(bare --version) && [ "$out" = "tallyro 10.09" ] || fail "--version fails or prints '$out'"
bare --login-hots 10.0.0.1
[ $? -eq 2 ] && grep -q "login-hots" "$w/err" || fail "an unknown option is not refused by name"

# Runs the client until its browser engine's helper processes appear.
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
[ "$(id -u)" -ne 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1  # root: the client arranges it
run_until_engine() {
  "$w/tallyro" "$@" >/dev/null 2>"$w/err" & client=$! i=0
  until pgrep -P "$client" -f QtWebEngineProcess >/dev/null; do
    kill -0 "$client" 2>/dev/null || fail "the client ended"
    ((++i < 300)) || fail "the browser engine never started"
    sleep 0.1
  done
  kill "$client" && wait "$client" 2>/dev/null; client=""
}

# A refused command-line value falls back to the file's, a refused file value to the
# built-in one; nothing else is said. No server listens on port 9: nothing is reached.
printf '[Server]\r\nLoginHost=login.example.com\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9/\r\n' \
  >"$w/config.ini"
unset QT_LOGGING_RULES
run_until_engine --login-port 0 --login-host 10.0.0
printf 'tallyro: %s\n' '--login-port: "0" is not a port number from 1 to 65535; using 9' \
  '--login-host: "10.0.0" is not an IPv4 address like 127.0.0.1; using 127.0.0.1' \
  'config.ini [Server] LoginHost: "login.example.com" is not an IPv4 address like 127.0.0.1; using 127.0.0.1' |
  sort >"$w/want"
grep '^tallyro: ' "$w/err" | sort | cmp -s "$w/want" - || fail "not said as refused"
grep -qE "qt.webenginecontext|Sandboxing disabled" "$w/err" && fail "a normal start is not quiet"

printf '[Server]\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9\r\n' >"$w/config.ini"
run_until_engine --verbose
grep -q "qt.webenginecontext" "$w/err" || fail "--verbose does not show the engine's report"
grep -q '^tallyro: ' "$w/err" && fail "good addresses are refused"
QT_LOGGING_RULES="qt.webenginecontext.info=true" run_until_engine
grep -q "qt.webenginecontext" "$w/err" || fail "QT_LOGGING_RULES does not show the engine's report"
echo "PASS"
