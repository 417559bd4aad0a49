#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build directory of their own and runs each
# for SECONDS (default 20) on a copy of its seed corpus (fuzz/corpus/<target>), one
# process each. Exits non-zero when a target fails to build or finds a fault; the
# input that broke it is kept in the run's folder, named in the output (a target
# that writes files also leaves its scratch folder, /dev/shm/tallyro-fuzz-*).
#
#   fuzz/run.sh [SECONDS]
#   TALLYRO_FUZZ_BUILD_DIR  build directory (default: build-fuzz at the repository root)
#   TALLYRO_FUZZ_TARGETS    targets to run (default: all of them)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build=${TALLYRO_FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=${TALLYRO_FUZZ_TARGETS:-fuzz_login_datagram fuzz_settings_roundtrip fuzz_answer_address fuzz_gbk fuzz_service_query fuzz_service_csv fuzz_http_head}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLYRO_FUZZ=ON "${launcher[@]}" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "${TALLYRO_FUZZ_JOBS:-2}" --target $targets

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyro-fuzz-run.XXXXXX")
failed=()
for target in $targets; do
  corpus=$work/$target
  mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  echo "== $target (${seconds}s)"
  if (cd "$work" && "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/$target-" "$corpus" >"$work/$target.log" 2>&1); then
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$target.log" || true
  else
    tail -n 40 "$work/$target.log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: faults found by ${failed[*]}; inputs and logs in $work" >&2
  exit 1
fi
rm -rf "$work"
echo "fuzz: every target ran ${seconds}s without a fault"
