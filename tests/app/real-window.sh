#!/usr/bin/env bash
# The program in a real X server: start it, wait for its main window, check its
# caption as the window manager reads it and its size, press "終　了" and expect
# a clean exit; start it again with a record to open, and with too many
# arguments, and with a record whose name is not UTF-8.
# Usage: real-window.sh PATH/TO/oscalyx PATH/TO/sample0.csv
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the results file belongs to the folder the program starts in

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
program=$1 sample=$2
# What the program remembers goes to a folder of this run, never the user's.
export XDG_CONFIG_HOME="$PWD/config"
"$program" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
# The caption exactly, with nothing appended.
caption=$(xprop -id "$window" _NET_WM_NAME)
expected='_NET_WM_NAME(UTF8_STRING) = "自由振動/減衰振動　Oscalyx Ver2.0"'
[ "$caption" = "$expected" ] || { echo "unexpected caption: $caption"; kill "$pid"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window: ${WIDTH}x${HEIGHT}"
# 816 x 713 with the desktop's frame: a client area of 808 x 679, menu bar included.
[ "$WIDTH" -eq 808 ] && [ "$HEIGHT" -eq 679 ] || { echo "unexpected size ${WIDTH}x${HEIGHT}"; kill "$pid"; exit 1; }
# "終　了" stands at (704, 624) of the form, 75 x 25, below the menu bar: y = 660
# hits it for any menu bar between 11 and 36 pixels high.
xdotool mousemove --window "$window" 740 660 click 1
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
echo "closed with status $?"
[ -f "$PWD/減衰特性.csv" ] && { echo "a results file appeared without a load"; exit 1; }

# A record named on the command line is loaded once the window is up: the load
# creates the results file with its header.
"$program" "$sample" &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" >/dev/null
for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
kill "$pid"; wait "$pid" 2>/dev/null || true
[ "$(head -c 9 "$PWD/減衰特性.csv")" = "filename," ] || { echo "the record given as argument was not loaded"; exit 1; }

# Closed with "終　了", the window remembers the record among the recent ones
# and where it stood.
rm -f "$PWD/減衰特性.csv"
"$program" "$sample" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
xdotool mousemove --window "$window" 740 660 click 1
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid" || true
settings="$XDG_CONFIG_HOME/Oscalyx/oscalyx.conf"
[ -f "$settings" ] || { echo "nothing was remembered"; exit 1; }
grep -q "$(basename "$sample")" "$settings" || { echo "the record is not among the recent ones: $(cat "$settings")"; exit 1; }
grep -q "^main=" "$settings" || { echo "the window's place was not kept: $(cat "$settings")"; exit 1; }

# A record whose name is Shift-JIS bytes ("テスト.csv", no valid UTF-8) is
# opened by those bytes.
sjis="$PWD/$(printf '\x83\x65\x83\x58\x83\x67').csv"
cp "$sample" "$sjis"
rm -f "$PWD/減衰特性.csv"
"$program" "$sjis" &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" >/dev/null
for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
kill "$pid"; wait "$pid" 2>/dev/null || true
[ -s "$PWD/減衰特性.csv" ] || { echo "the Shift-JIS name given as argument was not loaded"; exit 1; }

# Two records: a usage message and status 2, no window.
status=0
"$program" "$sample" "$sample" 2>"$PWD/usage.txt" || status=$?
[ "$status" -eq 2 ] || { echo "two arguments gave status $status"; exit 1; }
grep -q "使い方：oscalyx \[ファイル\]" "$PWD/usage.txt" || { echo "no usage message: $(cat "$PWD/usage.txt")"; exit 1; }
exit 0
SESSION

timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$program" "$sample"
