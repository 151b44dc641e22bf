#!/usr/bin/env bash
# From the start of the process to the main window shown, under Xvfb: the
# median of seven starts. Usage: bench/startup.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat > session.sh <<'SESSION'
program=$1
for run in 1 2 3 4 5 6 7; do
  start=$(date +%s%N)
  "$program" 2>>"$PWD/stderr.log" &
  pid=$!
  # Poll often: xdotool's own --sync waits half a second between looks.
  for attempt in $(seq 2000); do
    xdotool search --onlyvisible --name "^自由振動/減衰振動　Oscalyx Ver2.0$" >/dev/null 2>&1 && break
    sleep 0.005
  done
  shown=$(date +%s%N)
  echo $(( (shown - start) / 1000000 ))
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
done
SESSION
times=$(timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash session.sh "$build/bin/oscalyx" | sort -n)
echo "start to window shown (ms), 7 runs:" $times
echo "median: $(echo "$times" | sed -n 4p) ms"
