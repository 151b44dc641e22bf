#!/usr/bin/env bash
# Compares our evaluation (oscalyx-cli fit --json) with scipy.optimize.least_squares
# on the same 100 fit points of several synthetic noisy decays, and prints how far
# A, f and h lie apart, also in standard errors of the parameters.
# BUILD_DIR selects the build (default: build); PYTHON the interpreter (default:
# the first python3 that has numpy and scipy).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
PeerSetup oscalyx-cli scipy.optimize

"$python" "$here/fit_peer.py" "$program"
