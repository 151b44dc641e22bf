#!/usr/bin/env bash
# The record overview in a real X server: start the program with a record,
# open "記録の概観" with Ctrl+L, click the detected decay's mark on the strip,
# press "評　価" in the main window and expect the evaluation log's row to start
# at the decay's suggested start; then press "検出した減衰をすべて評価" and
# expect one more row at the same start.
# Usage: overview-window.sh PATH/TO/oscalyx PATH/TO/oscalyx-cli PATH/TO/sample0.csv
set -euo pipefail
program=$(realpath "$1")
cli=$(realpath "$2")
sample=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the results file and the log belong to the folder the program starts in

# The decay the overview marks, and where its mark stands on the strip: the
# strip's columns start 36 pixels in and are 926 wide, the strip itself at
# (8, 24) of the window, the marks' row 12 pixels high.
start=$("$cli" detect "$sample" --channel 1 --json | python3 -c 'import json,sys; print(json.load(sys.stdin)["decays"][0]["start"])')
samples=$("$cli" info "$sample" | python3 -c 'import json,sys; print(json.load(sys.stdin)["samples"])')
markX=$((8 + 36 + start * 926 / samples))
markY=$((24 + 6))

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
program=$1 sample=$2 start=$3 markX=$4 markY=$5
log="$PWD/評価記録.csv"
rows() { [ -f "$log" ] && tr -d '\r' < "$log" | tail -n +2 | wc -l || echo 0; }
"$program" "$sample" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
main=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
for attempt in $(seq 100); do [ -s "$PWD/減衰特性.csv" ] && break; sleep 0.1; done
xdotool windowmove "$main" 0 0
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+l
overview=$(timeout 30 xdotool search --sync --onlyvisible --name "^記録の概観$" | head -1)
xdotool windowmove "$overview" 830 0
sleep 1
eval "$(xdotool getwindowgeometry --shell "$overview")"
echo "overview $overview: ${WIDTH}x${HEIGHT}"
xdotool mousemove --window "$overview" "$markX" "$markY" click 1
sleep 0.5
# "評　価" of the main window stands at (200, 184), 75 x 25, below the menu bar:
# y = 220 hits it for any menu bar between 11 and 36 pixels high.
xdotool mousemove --window "$main" 237 220 click 1
for attempt in $(seq 100); do [ "$(rows)" -ge 1 ] && break; sleep 0.1; done
row=$(tr -d '\r' < "$log" | sed -n 2p)
[ "$(echo "$row" | cut -d, -f5)" = "$start" ] || { echo "evaluated from $(echo "$row" | cut -d, -f5), not $start"; exit 1; }
# "検出した減衰をすべて評価" at (8, 510) of the overview, 220 x 28.
xdotool mousemove --window "$overview" 118 524 click 1
for attempt in $(seq 100); do [ "$(rows)" -ge 2 ] && break; sleep 0.1; done
[ "$(rows)" -eq 2 ] || { echo "expected 2 log rows, found $(rows)"; exit 1; }
[ "$(tr -d '\r' < "$log" | sed -n 3p | cut -d, -f5)" = "$start" ] || { echo "evaluate-all row not at $start"; exit 1; }
echo "both evaluations start at $start"
exit 0
SESSION

timeout 90 xvfb-run -a -s "-screen 0 1900x1000x24" bash "$work/session.sh" "$program" "$sample" "$start" "$markX" "$markY"
