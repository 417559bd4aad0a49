#!/usr/bin/env bash
# command_line_test.sh <bin dir>: the real client's --help and --version answer without
# a display, bad options and addresses are said on standard error, and a normal start
# leaves the browser engine's report out unless --verbose or QT_LOGGING_RULES asks.
set -u
work=$(mktemp -d)
client=""
trap '[ -n "$client" ] && kill $client 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A program folder of its own: the client keeps its files beside itself.
cp "$1/tallyro" "$1/libtallyro_web.so" "$1/QsDate.mdb" "$work/"
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share
bare() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$work/tallyro" "$@"; }
bare --help >"$work/out" 2>"$work/err" || fail "--help exits with $?"
for option in --login-host --login-port --web-base --verbose --version; do
  grep -q -- "$option" "$work/out" || fail "--help does not mention $option"
done
[ -s "$work/err" ] && fail "--help writes to standard error: $(cat "$work/err")"
out=$(bare --version) && [ "$out" = "tallyro 10.09" ] || fail "--version fails or prints '$out'"
"$work/tallyro" --login-hots 10.0.0.1 2>"$work/err"
[ $? -eq 2 ] || fail "an unknown option does not exit with 2"
grep -q "login-hots" "$work/err" || fail "the unknown option is not named: $(cat "$work/err")"

# Runs the client until its browser engine has set itself up (its helper processes
# appear), leaving its standard error in $work/err.
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
[ "$(id -u)" -ne 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1  # root: the client arranges it
run_until_engine() {
  "$work/tallyro" "$@" >/dev/null 2>"$work/err" &
  client=$!
  for ((i = 0; i < 300; i++)); do
    pgrep -P "$client" -f QtWebEngineProcess >/dev/null && break
    kill -0 "$client" 2>/dev/null || fail "the client ended: $(cat "$work/err")"
    sleep 0.1
  done
  pgrep -P "$client" -f QtWebEngineProcess >/dev/null || fail "the browser engine never started"
  kill "$client" && wait "$client" 2>/dev/null
  client=""
}
said() { grep -c '^tallyro: ' "$work/err"; }
engine_report() { grep -q "qt.webenginecontext" "$work/err"; }

# A refused command-line value falls back to the file's, a refused file value to the
# built-in one. No server listens on port 9: nothing is reached.
printf '[Server]\r\nLoginHost=login.example.com\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9/\r\n' \
  >"$work/config.ini"
unset QT_LOGGING_RULES
run_until_engine --login-port 0 --login-host 10.0.0
for line in '--login-port: "0" is not a port number from 1 to 65535; using 9' \
  '--login-host: "10.0.0" is not an IPv4 address like 127.0.0.1; using 127.0.0.1' \
  'config.ini \[Server\] LoginHost: "login.example.com" is not an IPv4 address like 127.0.0.1; using 127.0.0.1'; do
  grep -qx "tallyro: $line" "$work/err" || fail "not said: $line: $(cat "$work/err")"
done
[ "$(said)" -eq 3 ] || fail "more said than refused: $(cat "$work/err")"
engine_report || grep -q "Sandboxing disabled" "$work/err" && fail "a normal start is not quiet"

printf '[Server]\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9\r\n' >"$work/config.ini"
run_until_engine --verbose
engine_report || fail "--verbose does not show the engine's report"
[ "$(said)" -eq 0 ] || fail "good addresses are refused: $(cat "$work/err")"
QT_LOGGING_RULES="qt.webenginecontext.info=true" run_until_engine
engine_report || fail "QT_LOGGING_RULES does not show the engine's report"
echo "PASS"
