#!/usr/bin/env bash
# Times our code against the usual Python tools on the same data, in one run,
# and prints the ratios. Usage: bench/compare-peers.sh   (BUILD_DIR=build by default)
# Each bench/peers/*.sh adds one comparison (filter, fit); loading is here.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=${BUILD_DIR:-build}
bash scripts/setup.sh --bench
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target oscalyx-bench oscalyx-cli >/dev/null
PY=/usr/bin/python3  # Debian's, where numpy, scipy and pandas are installed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OSCALYX_BENCH_WORK=$work

echo "== Loading a 100 000-line, 8-channel standard CSV file =="
export OSCALYX_BENCH_CSV=$work/load-8x100k.csv
"$BUILD_DIR/bin/oscalyx-bench" --benchmark_filter='BM_Read(Csv|Spc51)8x100k' --benchmark_repetitions=7 \
  --benchmark_report_aggregates_only=true --benchmark_format=json > "$work/load.json"
ours_ms=$("$PY" -c "
import json,sys
d=json.load(open('$work/load.json'))
b=[x for x in d['benchmarks'] if x['name']=='BM_ReadCsv8x100k_median'][0]
print(b['real_time'])")
dbl_ms=$("$PY" -c "
import json
d=json.load(open('$work/load.json'))
print([x for x in d['benchmarks'] if x['name']=='BM_ReadSpc518x100k_median'][0]['real_time'])")
pandas_ms=$("$PY" - "$OSCALYX_BENCH_CSV" <<'PYEOF'
import sys, time, statistics
import pandas as pd
times = []
for _ in range(7):
    t = time.perf_counter()
    pd.read_csv(sys.argv[1], header=None, skiprows=4)
    times.append((time.perf_counter() - t) * 1000)
print(statistics.median(times))
PYEOF
)
size=$(stat -c %s "$OSCALYX_BENCH_CSV")
"$PY" -c "
ours=$ours_ms; pandas=$pandas_ms; dbl=$dbl_ms; size=$size
print(f'  file: {size/1e6:.1f} MB')
print(f'  ReadCsv:          {ours:8.2f} ms  ({size/ours/1e3:.0f} MB/s)')
print(f'  ReadSpc51:        {dbl:8.2f} ms  (same samples as SPC-51)')
print(f'  pandas.read_csv:  {pandas:8.2f} ms')
print(f'  pandas / ours:    {pandas/ours:8.2f} x')"

echo "== Peak memory of oscalyx-cli info =="
printf 'A\n100\nm\nu\n' > "$work/empty.csv"
rss() { /usr/bin/time -f %M "$BUILD_DIR/bin/oscalyx-cli" info "$1" 2>&1 >/dev/null | tail -1; }
base=$(rss "$work/empty.csv")
big=$(rss "$OSCALYX_BENCH_CSV")
"$PY" -c "
base=$base; big=$big; arrays=8*100000*4/1024
print(f'  empty record: {base} KiB, 8 x 100 000 record: {big} KiB, growth {big-base} KiB')
print(f'  sample arrays: {arrays:.0f} KiB; growth / arrays = {(big-base)/arrays:.2f}')"

for peer in bench/peers/filter.sh bench/peers/fit.sh; do
  [ -e "$peer" ] || continue
  bash "$peer"
done
