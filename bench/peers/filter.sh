#!/usr/bin/env bash
# Times our band-pass filter (8 channels x 100 000 samples, 999 taps) against
# numpy.convolve and scipy.signal.oaconvolve in one run and prints the ratios.
# BUILD_DIR selects the build (default: build); PYTHON the interpreter (default:
# the first python3 that has numpy and scipy).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PeerSetup oscalyx-bench scipy.signal

# Many short repetitions (about one iteration each): the best of them is
# compared with the best of the peers' runs, so that a moment of load from
# other processes weighs on neither side.
name="BM_FilterAllChannels"
out="$(mktemp)"
log="$(mktemp)"
trap 'rm -f "$out" "$log"' EXIT
if ! "$program" --benchmark_filter="^${name}/" --benchmark_repetitions=15 \
     --benchmark_min_time=0.01 --benchmark_out="$out" --benchmark_out_format=json \
     >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
"$python" "$here/filter_peers.py" "$out" "$name"
