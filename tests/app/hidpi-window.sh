#!/usr/bin/env bash
# The window at 100 % and at a scale factor of 2 under a real X server: the
# plot copied with "コピー" is the same 753 x 401 picture, byte for byte.
# Usage: hidpi-window.sh PATH/TO/oscalyx PATH/TO/sample0.csv
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
program=$1 sample=$2
export XDG_CONFIG_HOME="$PWD/config"
for factor in 1 2; do
  export QT_SCALE_FACTOR=$factor
  rm -f "$PWD/減衰特性.csv"
  "$program" "$sample" &
  pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
  for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
  # "コピー" stands at (556, 146) of the form, 70 x 25, below a menu bar of
  # 11 to 36 pixels; everything is twice as far at a factor of 2.
  xdotool mousemove --window "$window" $((591 * factor)) $((182 * factor)) click 1
  copied=""
  for attempt in $(seq 50); do
    if xclip -selection clipboard -t image/png -o >"$PWD/copy$factor.png" 2>/dev/null && [ -s "$PWD/copy$factor.png" ]; then
      copied=yes; break
    fi
    sleep 0.1
  done
  kill "$pid"; wait "$pid" 2>/dev/null || true
  [ -n "$copied" ] || { echo "nothing was copied at factor $factor"; exit 1; }
  file "$PWD/copy$factor.png" | grep -q "PNG image data, 753 x 401" || { echo "copy at factor $factor: $(file "$PWD/copy$factor.png")"; exit 1; }
done
cmp "$PWD/copy1.png" "$PWD/copy2.png" || { echo "the copy at factor 2 differs from the one at 100 %"; exit 1; }
SESSION

timeout 90 xvfb-run -a -s "-screen 0 1800x1500x24" bash "$work/session.sh" "$program" "$sample"
