#!/usr/bin/env bash
# Runs one use of the program from load to export under valgrind's memcheck:
# the command line (info, convert, fit and plot, with the band-pass filter) and
# the headless main window (load, filter, evaluate, save PNG and CSV). Fails on
# any invalid read or write, use of uninitialised memory, or definite leak.
# Too slow for ctest (about a minute); run by hand after changes to the
# readers, the filter, the fit or the drawing.
#
# Usage: scripts/valgrind-cycle.sh [BUILD_DIR]      (default: build)
#   GTEST_FILTER=...  other window tests to run under valgrind instead of the cycle
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ "$build" = /* ]] || build="$root/$build"
cli="$build/bin/oscalyx-cli"
tests="$build/bin/tests_app"
filter=${GTEST_FILTER:-NothingLostTest.LoadFilterEvaluateExportCycle}

command -v valgrind >/dev/null || { echo "valgrind-cycle: valgrind is not installed (apt-get install valgrind)" >&2; exit 2; }
for program in "$cli" "$tests"; do
  [[ -x "$program" ]] || { echo "valgrind-cycle: $program is missing; build oscalyx-cli and tests_app first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sample0="$root/sample/sample0.csv"
sample1="$root/sample/sample1.dbl"

# Exit status 99 is valgrind's own: an error or a definite leak.
memcheck=(valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
          --num-callers=40 --suppressions="$root/tests/valgrind.supp")

failed=0
printf '%-34s %6s %7s %16s %11s\n' "run" "status" "errors" "definitely lost" "suppressed"

# run NAME EXPECTED_STATUS COMMAND...
run() {
  local name=$1 expected=$2
  shift 2
  local log="$work/$name.log" status=0
  "${memcheck[@]}" --log-file="$log" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
  local errors definite suppressed
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -1)
  definite=$(sed -n 's/.*definitely lost: \([0-9,]* bytes in [0-9,]* blocks\).*/\1/p' "$log" | tail -1)
  suppressed=$(sed -n 's/.*ERROR SUMMARY:.*(suppressed: \([0-9,]*\) from.*/\1/p' "$log" | tail -1)
  printf '%-34s %6s %7s %16s %11s\n' "$name" "$status" "${errors:-?}" "${definite:-0 bytes in 0 blocks}" "${suppressed:-?}"
  if [[ "$status" != "$expected" ]]; then
    failed=1
    echo "  expected status $expected; valgrind log follows" >&2
    cat "$log" "$work/$name.err" >&2
  fi
}

run cli-info-dbl 0 "$cli" info "$sample1"
run cli-info-csv-bandpass 0 "$cli" info "$sample0" --bandpass 2 0.5
run cli-convert-dbl-bandpass 0 "$cli" convert "$sample1" "$work/converted.csv" --bandpass 4 0.5
run cli-fit-csv-bandpass 0 "$cli" fit "$sample0" --channel 1 --start 2000 --bandpass 2 0.5 --results "$work/results.csv"
run cli-fit-converted-json 0 "$cli" fit "$work/converted.csv" --channel 1 --start 1000 --f0 2.5 --json
run cli-fit-refused 1 "$cli" fit "$sample0" --channel 1 --start 2000 --h0 1.0
run cli-info-missing-file 1 "$cli" info "$work/missing.csv"
run cli-plot-fit-bandpass 0 "$cli" plot "$sample0" "$work/view.png" --fit --start 2000 --bandpass 2 0.5
run cli-plot-dbl-all-channels 0 "$cli" plot "$sample1" "$work/all.png" --bandpass 4 0.5 --white
export QT_QPA_PLATFORM=offscreen
run window-cycle 0 "$tests" --gtest_filter="$filter"

if [[ $failed -ne 0 ]]; then
  echo "valgrind-cycle: FAILED" >&2
  exit 1
fi
echo "valgrind-cycle: no memory errors, no definite leaks"
