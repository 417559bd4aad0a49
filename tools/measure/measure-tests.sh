#!/usr/bin/env bash
# How strong the tests are, per folder of src/ and for service/: test and code
# lines, mutation score (the team's mutants.py, given as $MUTANTS: a fixed sample
# of mutants per folder, each rebuilt and run against the folder's own tests) and
# line coverage (gcovr over a --coverage build). Prints a Markdown table.
#
#   tools/measure/measure-tests.sh [MUTANTS_PER_FOLDER] [FOLDER...]
#
# MUTANTS_PER_FOLDER defaults to 30 (spread over the folder's files); folders default to every
# folder of src/ and service. Mutation uses build/ (must be configured) and rebuilds only the
# folder's test binaries, a few seconds a mutant; each survivor is kept in build/mutants-FOLDER.log.
# Coverage builds build-cov/; COVERAGE=0 leaves it out.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
per=${1:-30}
shift || true
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(text ui platform context settings data session lookup quotes pages window watch app qt service)
mutants=${MUTANTS:-}
[ -f "$mutants" ] || { echo "set MUTANTS to the path of mutants.py" >&2; exit 2; }
[ "${COVERAGE:-1}" = 0 ] || command -v gcovr >/dev/null || { echo "gcovr is not installed (apt-get install gcovr)" >&2; exit 2; }

lines() { git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs -r cat | grep -c -v -E '^\s*$' || true; }
src_of() { [ "$1" = service ] && echo service || echo "src/$1"; }
# The test binaries that stand for a folder: its own, or the ones that drive it.
tests_of() {
  case $1 in
    service) echo tallyro_service_core_tests tallyro_service_socket_tests tallyro_service_control_tests ;;
    platform | context) echo tallyro_app_tests tallyro_window_tests ;;
    qt) echo qt_form_view_test contract_tests qt_web_pages_test qt_quote_fetcher_test ;;
    *) echo "tallyro_$1_tests" ;;
  esac
}
# One command that runs them all, failing when any fails.
command_of() {
  local cmd="" t bin
  for t in $(tests_of "$1"); do
    bin=$(find build/tests -name "$t" -type f)
    [ -n "$bin" ] || { echo "no test binary $t in build/" >&2; exit 2; }
    # A mutant that hangs is ended here: the mutation tool stops waiting but leaves it running.
    cmd+="${cmd:+ && }QT_QPA_PLATFORM=offscreen timeout -s KILL 20 $bin >/dev/null 2>&1"
  done
  echo "$cmd"
}

declare -A score
for f in "${folders[@]}"; do
  files=$(git ls-files -- "$(src_of "$f")" | grep -E '\.cpp$' | grep -v -E '/main\.cpp$' || true)
  score[$f]="-"
  [ -n "$files" ] || continue
  n=$(echo "$files" | wc -l)
  # shellcheck disable=SC2046 # one target per word
  cmake --build build --target $(tests_of "$f") >/dev/null
  test_command=$(command_of "$f")
  out=$(python3 "$mutants" --build build --max $(( (per + n - 1) / n )) --seed 7 --timeout 30 \
    --targets "$(tests_of "$f")" --test "$test_command" $files 2>&1 |
    tee "build/mutants-$f.log" | tail -n 1)
  score[$f]=$(echo "$out" | grep -o '[0-9.]*%' | tail -n 1 || echo "?")
done

if [ "${COVERAGE:-1}" = 1 ]; then
  cmake -S . -B build-cov -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage >/dev/null
  cmake --build build-cov >/dev/null
  find build-cov -name '*.gcda' -delete
  (cd build-cov && ctest -E '^e2e_|_whole$' -j "$(nproc)" >/dev/null) || true
fi

echo "| folder | test lines | code lines | mutation score | line coverage |"
echo "|---|---|---|---|---|"
for f in "${folders[@]}"; do
  src=$(src_of "$f")
  cov="-"
  [ "${COVERAGE:-1}" = 1 ] &&
    cov=$(gcovr -r . --object-directory build-cov --filter "$src/" 2>/dev/null | awk '/^TOTAL/ {print $4}')
  echo "| $f | $(lines "tests/$f") | $(lines "$src") | ${score[$f]:-?} | ${cov:-?} |"
done
