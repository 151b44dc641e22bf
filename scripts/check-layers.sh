#!/usr/bin/env bash
# Checks that the includes between the source folders point one way:
#   io → analysis → session → drawing (components) → qt (components/qt) → app, cli
# with image beside analysis on top of io, and that no Qt header is included
# below the qt layer. Prints every include that breaks the order; exit 1 if any.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

status=0
# check FOLDER ALLOWED-PATTERN [EXCLUDED-SUBFOLDER]
check() {
  local folder=$1 allowed=$2 exclude=${3:-}
  local files
  files=$(find "$folder" -name '*.cpp' -o -name '*.h' -o -name '*.h.in' | sort)
  [ -n "$exclude" ] && files=$(printf '%s\n' "$files" | grep -v "^$exclude/" || true)
  for file in $files; do
    while IFS= read -r line; do
      target=$(printf '%s' "$line" | sed -E 's/^[^"]*"([^"]+)".*$/\1/')
      if ! printf '%s' "$target" | grep -Eq "^($allowed)"; then
        echo "$file: includes $target"
        status=1
      fi
    done < <(grep -E '^\s*#\s*include\s+"' "$file" || true)
  done
}
# no_qt FOLDER [EXCLUDED-SUBFOLDER]
no_qt() {
  local folder=$1 exclude=${2:-}
  local hits
  hits=$(grep -rnE '^\s*#\s*include\s+<Q' "$folder" --include='*.cpp' --include='*.h' || true)
  [ -n "$exclude" ] && hits=$(printf '%s\n' "$hits" | grep -v "^$exclude/" || true)
  if [ -n "$hits" ]; then
    printf '%s\n' "$hits" | sed 's/$/   (a Qt header below the windows)/'
    status=1
  fi
}

check io 'io/'
check analysis 'io/|analysis/'
check image 'io/|image/'
check session 'io/|analysis/|image/|session/'
check components 'io/|analysis/|image/|session/|components/[^/]+$' components/qt
check components/qt 'io/|analysis/|image/|session/|components/'
check cli 'io/|analysis/|image/|session/|components/[^/]+$|components/qt/CanvasModule\.h$|cli/'
check app 'io/|analysis/|image/|session/|components/|app/'
for folder in io analysis image session cli; do no_qt "$folder"; done
no_qt components components/qt
exit $status
