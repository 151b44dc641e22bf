# Shared by the peer comparisons: the build folder and a Python with numpy and
# scipy. Source it, then call PeerSetup PROGRAM MODULE.
#   PROGRAM  the binary of ours the comparison runs (in the build's bin/)
#   MODULE   the scipy module the peer needs
# Sets: here (this folder), build, program (its full path), python.
PeerSetup() {
  here="$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)"
  local root
  root="$(cd "$here/../.." && pwd)"
  build="${BUILD_DIR:-build}"
  [[ "$build" = /* ]] || build="$root/$build"
  program="$build/bin/$1"
  if [[ ! -x "$program" ]]; then
    echo "no $program: build the target $1 first" >&2
    exit 1
  fi
  python="${PYTHON:-}"
  if [[ -z "$python" ]]; then
    for candidate in python3 /usr/bin/python3; do
      if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c "import numpy, $2" >/dev/null 2>&1; then
        python="$candidate"
        break
      fi
    done
  fi
  if [[ -z "$python" ]]; then
    echo "no python3 with numpy and scipy (install python3-numpy python3-scipy)" >&2
    exit 1
  fi
}
