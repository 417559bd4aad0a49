#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, Qt integration,
# service and end-to-end); then every fuzz target for TALLYRO_FUZZ_SECONDS each
# (default 20; 0 leaves them out) in a clang build of its own (build-fuzz); then
# builds the tests once more with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/ and runs them all there, except the end-to-end tests, which drive
# the release build (TALLYRO_SANITIZERS=0 leaves this pass out). Exits non-zero
# when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
TALLYRO_BUILD_DIR=$build "$root/scripts/build.sh"
(cd "$build" && ctest --output-on-failure --timeout 300 -j "$(nproc)")
fuzz_seconds=${TALLYRO_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ]; then
  TALLYRO_FUZZ_JOBS="$(nproc)" "$root/fuzz/run.sh" "$fuzz_seconds"
fi

if [ "${TALLYRO_SANITIZERS:-1}" = 0 ]; then
  exit 0
fi
asan=${TALLYRO_ASAN_BUILD_DIR:-$root/build-asan}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
sanitize=-fsanitize=address,undefined
started=$(date +%s)
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLYRO_BUILD_BENCH=OFF \
  "${launcher[@]}" \
  "-DCMAKE_CXX_FLAGS=-O1 $sanitize -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
  "-DCMAKE_EXE_LINKER_FLAGS=$sanitize" "-DCMAKE_SHARED_LINKER_FLAGS=$sanitize" \
  "-DCMAKE_MODULE_LINKER_FLAGS=$sanitize" >/dev/null
cmake --build "$asan" -j "$(nproc)"
# Leaks are checked in every test binary, the Qt ones included.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$asan" && ctest --output-on-failure --timeout 600 -j "$(nproc)" -E '^e2e_')
echo "test.sh: sanitizer pass took $(($(date +%s) - started)) s"
