#!/usr/bin/env bash
# Times our band-pass filter (8 channels x 100 000 samples, 999 taps) against
# numpy.convolve and scipy.signal.oaconvolve in one run and prints the ratios.
# BUILD_DIR selects the build (default: build); PYTHON the interpreter (default:
# the first python3 that has numpy and scipy).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-build}"
[[ "$build" = /* ]] || build="$root/$build"
bench="$build/bin/oscalyx-bench"
if [[ ! -x "$bench" ]]; then
  echo "no $bench: build the target oscalyx-bench first" >&2
  exit 1
fi

python="${PYTHON:-}"
if [[ -z "$python" ]]; then
  for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null 2>&1 &&
       "$candidate" -c 'import numpy, scipy.signal' >/dev/null 2>&1; then
      python="$candidate"
      break
    fi
  done
fi
if [[ -z "$python" ]]; then
  echo "no python3 with numpy and scipy (install python3-numpy python3-scipy)" >&2
  exit 1
fi

# Many short repetitions (about one iteration each): the best of them is
# compared with the best of the peers' runs, so that a moment of load from
# other processes weighs on neither side.
name="BM_FilterAllChannels"
out="$(mktemp)"
log="$(mktemp)"
trap 'rm -f "$out" "$log"' EXIT
if ! "$bench" --benchmark_filter="^${name}/" --benchmark_repetitions=15 \
     --benchmark_min_time=0.01 --benchmark_out="$out" --benchmark_out_format=json \
     >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
"$python" "$here/filter_peers.py" "$out" "$name"
