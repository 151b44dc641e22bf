#!/usr/bin/env bash
# Compares our evaluation (oscalyx-cli fit --json) with scipy.optimize.least_squares
# on the same 100 fit points of several synthetic noisy decays, and prints how far
# A, f and h lie apart, also in standard errors of the parameters.
# BUILD_DIR selects the build (default: build); PYTHON the interpreter (default:
# the first python3 that has numpy and scipy).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${BUILD_DIR:-build}"
[[ "$build" = /* ]] || build="$root/$build"
cli="$build/bin/oscalyx-cli"
if [[ ! -x "$cli" ]]; then
  echo "no $cli: build the target oscalyx-cli first" >&2
  exit 1
fi

python="${PYTHON:-}"
if [[ -z "$python" ]]; then
  for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null 2>&1 &&
       "$candidate" -c 'import numpy, scipy.optimize' >/dev/null 2>&1; then
      python="$candidate"
      break
    fi
  done
fi
if [[ -z "$python" ]]; then
  echo "no python3 with numpy and scipy (install python3-numpy python3-scipy)" >&2
  exit 1
fi

"$python" "$here/fit_peer.py" "$cli"
