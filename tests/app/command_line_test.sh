#!/usr/bin/env bash
# The client's command line through the real executable: --help and --version
# answer without a display, bad options and bad addresses are said on standard
# error, and a normal start leaves the browser engine's set-up report out
# unless --verbose or QT_LOGGING_RULES asks for it.
#
#   command_line_test.sh <bin dir>
set -u
bin=$1
work=$(mktemp -d)
client=""
cleanup() {
  [ -n "$client" ] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A program folder of its own: the client keeps its files beside itself.
cp "$bin/tallyro" "$bin/libtallyro_web.so" "$bin/QsDate.mdb" "$work/"
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share

# --help and --version: printed, exit 0, no window and no display needed.
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$work/tallyro" --help \
  >"$work/help.out" 2>"$work/help.err" || fail "--help exits with $?"
for option in --login-host --login-port --web-base --verbose --version; do
  grep -q -- "$option" "$work/help.out" || fail "--help does not mention $option"
done
[ -s "$work/help.err" ] && fail "--help writes to standard error: $(cat "$work/help.err")"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$work/tallyro" --version) ||
  fail "--version exits with $?"
[ "$out" = "tallyro 10.09" ] || fail "--version prints '$out'"

# An unknown option or a stray argument: said, exit 2.
"$work/tallyro" --login-hots 10.0.0.1 2>"$work/bad.err" && fail "an unknown option starts the client"
[ $? -eq 2 ] || fail "an unknown option exits with $?"
grep -q "login-hots" "$work/bad.err" || fail "the unknown option is not named: $(cat "$work/bad.err")"

# Starts the client with the arguments given, waits until its browser engine
# runs (its helper processes appear once the engine has set itself up) and
# stops it. Its standard error is left in $work/err.
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
run_until_engine() {
  "$work/tallyro" "$@" >"$work/out" 2>"$work/err" &
  client=$!
  local i
  for ((i = 0; i < 300; i++)); do
    pgrep -P "$client" -f QtWebEngineProcess >/dev/null && break
    kill -0 "$client" 2>/dev/null || fail "the client ended: $(cat "$work/err")"
    sleep 0.1
  done
  pgrep -P "$client" -f QtWebEngineProcess >/dev/null || fail "the browser engine never started"
  kill "$client"
  wait "$client" 2>/dev/null
  client=""
}
# Root runs the engine without its sandbox, which the client arranges itself.
[ "$(id -u)" -ne 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# The settings file's [Server] section under the command line: a refused
# command-line value falls back to the file's, a refused file value to the
# built-in one. No server listens on port 9: nothing is reached.
printf '[Server]\r\nLoginHost=login.example.com\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9/\r\n' \
  >"$work/config.ini"
unset QT_LOGGING_RULES
run_until_engine --login-port 0 --login-host 10.0.0
grep -qx 'tallyro: --login-port: "0" is not a port number from 1 to 65535; using 9' "$work/err" ||
  fail "no refusal of --login-port: $(cat "$work/err")"
grep -qx 'tallyro: --login-host: "10.0.0" is not an IPv4 address like 127.0.0.1; using 127.0.0.1' \
  "$work/err" || fail "no refusal of --login-host: $(cat "$work/err")"
grep -qx 'tallyro: config.ini \[Server\] LoginHost: "login.example.com" is not an IPv4 address like 127.0.0.1; using 127.0.0.1' \
  "$work/err" || fail "no refusal of LoginHost: $(cat "$work/err")"
[ "$(grep -c '^tallyro: ' "$work/err")" -eq 3 ] || fail "more said than refused: $(cat "$work/err")"
grep -q "qt.webenginecontext" "$work/err" && fail "a normal start shows the engine's report"
grep -q "Sandboxing disabled" "$work/err" && fail "a normal start shows the sandbox notice"

printf '[Server]\r\nLoginPort=9\r\nWebBase=http://127.0.0.1:9\r\n' >"$work/config.ini"
run_until_engine --verbose
grep -q "qt.webenginecontext" "$work/err" || fail "--verbose does not show the engine's report"
grep -q "tallyro: " "$work/err" && fail "good addresses are refused: $(cat "$work/err")"

QT_LOGGING_RULES="qt.webenginecontext.info=true" run_until_engine
grep -q "qt.webenginecontext" "$work/err" || fail "QT_LOGGING_RULES does not show the engine's report"
echo "PASS"
