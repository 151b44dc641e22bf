#!/usr/bin/env bash
# The start box and a failed evaluation in a real X server, typed and clicked
# as a user does:
# - emptying the start box with Backspace, or typing "abc", is no error while
#   typing (no message box); Return on "abc" gives the one message box;
# - "2000" and Return, then "評　価", evaluates from sample 2000;
# - an initial h of 1.5 makes the evaluation fail: its message box comes, the
#   program goes on, and the passes beside the result are emptied (the pixels
#   of that label are those before the first evaluation).
# Usage: start-box-window.sh PATH/TO/oscalyx PATH/TO/sample0.csv
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the results file and the log belong to the folder the program starts in

# The pixels of a rectangle of an XWD picture (32 bits per pixel), as bytes.
cat > "$work/region.py" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
x0, y0, x1, y1 = map(int, sys.argv[2:6])
header = struct.unpack('>25I', data[:100])
header_size, width, height = header[0], header[4], header[5]
bytes_per_line, colours = header[12], header[19]
pixels = header_size + 12 * colours
out = bytearray()
for y in range(y0, min(y1, height)):
    row = pixels + y * bytes_per_line
    out += data[row + 4 * x0: row + 4 * min(x1, width)]
sys.stdout.write(out.hex())
PY

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
program=$1 sample=$2
export XDG_CONFIG_HOME="$PWD/config"
log="$PWD/評価記録.csv"
rows() { [ -f "$log" ] && tr -d '\r' < "$log" | tail -n +2 | wc -l || echo 0; }
# Windows with a caption: the main window and any message box (no tooltip).
windows() { xdotool search --onlyvisible --pid "$pid" --name "." 2>/dev/null | wc -l; }
# The passes' label "繰返回数" stands at (472, 192) of the form: for any menu bar
# between 11 and 36 pixels high it lies in x 472–535, y 195–250 of the window,
# where nothing else changes.
passes() { xwd -silent -id "$main" > "$PWD/shot.xwd"; python3 "$PWD/region.py" "$PWD/shot.xwd" 472 195 536 250; }
"$program" "$sample" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
main=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
xdotool windowmove "$main" 0 0
xdotool windowfocus --sync "$main"
sleep 0.5

# The start box is at (480, 28) of the form, 64 x 22: y = 63 hits it for a menu
# bar between 14 and 34 pixels high.
startBox() { xdotool mousemove --window "$main" 510 63 click 1 mousemove 1200 1000; xdotool key --clearmodifiers ctrl+a; }
startBox
xdotool key BackSpace
sleep 0.7
[ "$(windows)" -eq 1 ] || { echo "emptying the start box raised a message"; exit 1; }
xdotool type --delay 50 abc
sleep 0.7
[ "$(windows)" -eq 1 ] || { echo "typing abc raised a message"; exit 1; }
xdotool key Return
for attempt in $(seq 50); do [ "$(windows)" -ge 2 ] && break; sleep 0.1; done
[ "$(windows)" -ge 2 ] || { echo "Return on abc gave no message"; exit 1; }
xdotool key Return
for attempt in $(seq 50); do [ "$(windows)" -eq 1 ] && break; sleep 0.1; done

startBox
xdotool type --delay 50 2000
xdotool key Return
sleep 0.5
before=$(passes)
# "評　価" stands at (200, 184), 75 x 25: y = 220 hits it for any menu bar
# between 11 and 36 pixels high.
xdotool mousemove --window "$main" 237 220 click 1
for attempt in $(seq 100); do [ "$(rows)" -ge 1 ] && break; sleep 0.1; done
[ "$(tr -d '\r' < "$log" | sed -n 2p | cut -d, -f5)" = "2000" ] || { echo "not evaluated from 2000: $(tr -d '\r' < "$log" | sed -n 2p)"; exit 1; }
sleep 0.3
evaluated=$(passes)
[ "$evaluated" != "$before" ] || { echo "the passes of the evaluation are not shown"; exit 1; }

# The initial h is at (296, 160) of the form, 52 x 20: y = 195 hits it for a
# menu bar between 16 and 34 pixels high.
xdotool mousemove --window "$main" 320 195 click 1 mousemove 1200 1000
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 50 1.5
xdotool mousemove --window "$main" 237 220 click 1
for attempt in $(seq 50); do [ "$(windows)" -ge 2 ] && break; sleep 0.1; done
[ "$(windows)" -ge 2 ] || { echo "the failed evaluation gave no message"; exit 1; }
xdotool key Return
for attempt in $(seq 50); do [ "$(windows)" -eq 1 ] && break; sleep 0.1; done
kill -0 "$pid" || { echo "the program ended after the failure"; exit 1; }
sleep 0.3
[ "$(passes)" = "$before" ] || { echo "the passes of the previous result still stand beside the failure"; exit 1; }
echo "start box and failed evaluation behave"
exit 0
SESSION

timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$program" "$sample"
