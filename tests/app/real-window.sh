#!/usr/bin/env bash
# The program in a real X server: start it, wait for its main window, check its
# size, press "終　了" and expect a clean exit.
# Usage: real-window.sh PATH/TO/oscalyx
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the results file belongs to the folder the program starts in

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
program=$1
"$program" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window: ${WIDTH}x${HEIGHT}"
# The form is 800 pixels wide; its height is the 655 of the controls plus the menu bar.
[ "$WIDTH" -eq 800 ] || { echo "unexpected width $WIDTH"; kill "$pid"; exit 1; }
[ "$HEIGHT" -ge 665 ] && [ "$HEIGHT" -le 700 ] || { echo "unexpected height $HEIGHT"; kill "$pid"; exit 1; }
# "終　了" stands at (704, 624) of the form, 75 x 25, below the menu bar.
menu=$((HEIGHT - 655))
xdotool mousemove --window "$window" 740 $((menu + 636)) click 1
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
echo "closed with status $?"
[ -f "$PWD/減衰特性.csv" ] && { echo "a results file appeared without a load"; exit 1; }
exit 0
SESSION

timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$program"
