#!/usr/bin/env bash
# Times our code against the usual Python tools on the same data, and the band-pass
# filter against the bound of its arithmetic, in one run, and prints the ratios.
# Usage: bench/compare-peers.sh [--large]   (BUILD_DIR=build by default)
#   --large  adds the 10^7-line, 8-channel cases: a 775 MB CSV file in the temporary
#            folder (about 1 GB of disk), 1.5 GB of memory, a few minutes.
# Each bench/peers/*.sh adds one comparison (filter, fit); loading is here. The
# machine's load is printed before and after: take figures on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
large=0
for arg in "$@"; do
  case "$arg" in
    --large) large=1 ;;
    *) echo "usage: bench/compare-peers.sh [--large]" >&2; exit 2 ;;
  esac
done
export BUILD_DIR=${BUILD_DIR:-build}
bash scripts/setup.sh --bench
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target oscalyx-bench oscalyx-cli >/dev/null
PY=/usr/bin/python3  # Debian's, where numpy, scipy and pandas are installed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OSCALYX_BENCH_WORK=$work
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Median real time of one benchmark from a JSON report (ms).
median_ms() {
  "$PY" -c "
import json,sys
d=json.load(open(sys.argv[1]))
print([x for x in d['benchmarks'] if x['name']==sys.argv[2]][0]['real_time'])" "$1" "$2"
}

echo "== Loading a 100 000-line, 8-channel standard CSV file =="
export OSCALYX_BENCH_CSV=$work/load-8x100k.csv
"$BUILD_DIR/bin/oscalyx-bench" --benchmark_filter='BM_Read(Csv|Spc51)8x100k' --benchmark_repetitions=7 \
  --benchmark_report_aggregates_only=true --benchmark_format=json > "$work/load.json"
ours_ms=$(median_ms "$work/load.json" BM_ReadCsv8x100k_median)
dbl_ms=$(median_ms "$work/load.json" BM_ReadSpc518x100k_median)
# pandas' read and the whole oscalyx-cli info process, alternately, 7 times each.
read -r pandas_ms cli_ms < <("$PY" - "$OSCALYX_BENCH_CSV" "$BUILD_DIR/bin/oscalyx-cli" <<'PYEOF'
import sys, time, statistics, subprocess
import pandas as pd
path, cli = sys.argv[1], sys.argv[2]
reads, runs = [], []
for _ in range(7):
    t = time.perf_counter()
    pd.read_csv(path, header=None, skiprows=4)
    reads.append((time.perf_counter() - t) * 1000)
    t = time.perf_counter()
    subprocess.run([cli, "info", path], check=True, stdout=subprocess.DEVNULL)
    runs.append((time.perf_counter() - t) * 1000)
print(statistics.median(reads), statistics.median(runs))
PYEOF
)
size=$(stat -c %s "$OSCALYX_BENCH_CSV")
"$PY" -c "
ours=$ours_ms; pandas=$pandas_ms; dbl=$dbl_ms; size=$size; cli=$cli_ms
print(f'  file: {size/1e6:.1f} MB')
print(f'  ReadCsv:            {ours:8.2f} ms  ({size/ours/1e3:.0f} MB/s)')
print(f'  ReadSpc51:          {dbl:8.2f} ms  (same samples as SPC-51)')
print(f'  pandas.read_csv:    {pandas:8.2f} ms')
print(f'  oscalyx-cli info:   {cli:8.2f} ms  (the whole process)')
print(f'  pandas / ReadCsv:   {pandas/ours:8.2f} x   (goal >= 7)')
print(f'  pandas / cli info:  {pandas/cli:8.2f} x   (goal >= 4)')"

echo "== Noisy samples (normal, signs and digits random, %.5f): 100 000 lines x 8 channels =="
export OSCALYX_BENCH_NOISY_CSV=$work/noisy-8x100k.csv OSCALYX_BENCH_NOISY_TEXT=$work/noisy-8x100k.txt
export OSCALYX_BENCH_NOISY_WAV=$work/noisy-8x100k.wav
"$BUILD_DIR/bin/oscalyx-bench" \
  --benchmark_filter='BM_Read(CsvNoisy|TextNoisy|WavNoisy)8x100k|BM_WavBytesFromCache8x100k|BM_ReadCsv8x100kReal' \
  --benchmark_repetitions=7 --benchmark_report_aggregates_only=true --benchmark_format=json > "$work/noisy.json"
noisy_ms=$(median_ms "$work/noisy.json" BM_ReadCsvNoisy8x100k/real_time_median)
noisy_min=$(median_ms "$work/noisy.json" BM_ReadCsvNoisy8x100k/real_time_min)
smooth_ms=$(median_ms "$work/noisy.json" BM_ReadCsv8x100kReal/real_time_median)
text_ms=$(median_ms "$work/noisy.json" BM_ReadTextNoisy8x100k/real_time_median)
text_min=$(median_ms "$work/noisy.json" BM_ReadTextNoisy8x100k/real_time_min)
wav_ms=$(median_ms "$work/noisy.json" BM_ReadWavNoisy8x100k/real_time_median)
cache_ms=$(median_ms "$work/noisy.json" BM_WavBytesFromCache8x100k/real_time_median)
read -r pandas_noisy_ms pandas_text_ms cli_noisy_ms cli_text_ms < <("$PY" - "$OSCALYX_BENCH_NOISY_CSV" \
    "$OSCALYX_BENCH_NOISY_TEXT" "$BUILD_DIR/bin/oscalyx-cli" <<'PYEOF'
import sys, time, statistics, subprocess
import pandas as pd
csv, text, cli = sys.argv[1], sys.argv[2], sys.argv[3]
runs = {k: [] for k in ("pcsv", "ptext", "ccsv", "ctext")}
for _ in range(7):
    t = time.perf_counter(); pd.read_csv(csv, header=None, skiprows=4); runs["pcsv"].append(time.perf_counter() - t)
    t = time.perf_counter(); pd.read_csv(text, sep="\t"); runs["ptext"].append(time.perf_counter() - t)
    t = time.perf_counter(); subprocess.run([cli, "info", csv], check=True, stdout=subprocess.DEVNULL)
    runs["ccsv"].append(time.perf_counter() - t)
    t = time.perf_counter(); subprocess.run([cli, "info", text, "--time-column", "1"], check=True, stdout=subprocess.DEVNULL)
    runs["ctext"].append(time.perf_counter() - t)
print(*(statistics.median(runs[k]) * 1000 for k in ("pcsv", "ptext", "ccsv", "ctext")))
PYEOF
)
"$PY" -c "
import os
csv=os.path.getsize('$OSCALYX_BENCH_NOISY_CSV'); text=os.path.getsize('$OSCALYX_BENCH_NOISY_TEXT'); wav=os.path.getsize('$OSCALYX_BENCH_NOISY_WAV')
noisy=$noisy_ms; noisy_min=$noisy_min; smooth=$smooth_ms; t=$text_ms; t_min=$text_min; w=$wav_ms; cache=$cache_ms
pc=$pandas_noisy_ms; pt=$pandas_text_ms; cc=$cli_noisy_ms; ct=$cli_text_ms
print(f'  files: CSV {csv/1e6:.1f} MB, text {text/1e6:.1f} MB, WAV {wav/1e6:.1f} MB')
print(f'  ReadCsv, noisy:            {noisy:8.2f} ms  ({csv/noisy/1e3:.0f} MB/s, goal >= 1000); fastest {noisy_min:.2f} ms ({csv/noisy_min/1e3:.0f} MB/s)')
print(f'  ReadCsv, smooth (same run): {smooth:7.2f} ms')
print(f'  pandas.read_csv / ReadCsv:  {pc/noisy:7.2f} x   (goal >= 10)')
print(f'  pandas / cli info:          {pc/cc:7.2f} x   (goal >= 5; cli info {cc:.1f} ms, the whole process)')
print(f'  ReadText, noisy with time:  {t:8.2f} ms  ({text/t/1e3:.0f} MB/s, goal >= 500); fastest {t_min:.2f} ms ({text/t_min/1e3:.0f} MB/s); pandas {pt:.1f} ms = {pt/t:.2f} x')
print(f'  cli info of the text file:  {ct:8.2f} ms')
print(f'  ReadWav, 16-bit:            {w:8.2f} ms  ({wav/w/1e3:.0f} MB/s); the bytes from the disk cache into floats {cache:.2f} ms')"

# Peak resident memory of one command (KiB).
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

echo "== Peak memory of oscalyx-cli info =="
printf 'A\n100\nm\nu\n' > "$work/empty.csv"
base=$(peak "$BUILD_DIR/bin/oscalyx-cli" info "$work/empty.csv")
big=$(peak "$BUILD_DIR/bin/oscalyx-cli" info "$OSCALYX_BENCH_CSV")
"$PY" -c "
base=$base; big=$big; arrays=8*100000*4/1024
print(f'  empty record: {base} KiB, 8 x 100 000 record: {big} KiB, growth {big-base} KiB')
print(f'  sample arrays: {arrays:.0f} KiB; growth / arrays = {(big-base)/arrays:.2f}')"

echo "== Band-pass filter against the bound of its arithmetic (see bench/FilterBound.h) =="
"$BUILD_DIR/bin/oscalyx-bench" --benchmark_filter='BM_FilterVsBound8x100k' --benchmark_format=json > "$work/bound.json"
"$PY" - "$work/bound.json" <<'PYEOF'
import json, sys
for b in json.load(open(sys.argv[1]))['benchmarks']:
    print(f"  {b['name']}: {b['steps']:.3g} steps, filter {b['filter_s']*1e3:.1f} ms, "
          f"bound {b['bound_s']*1e3:.1f} ms, filter / bound = {b['filter/bound']:.2f} (goal <= 1.25)")
PYEOF

for peer in bench/peers/filter.sh bench/peers/fit.sh; do
  [ -e "$peer" ] || continue
  bash "$peer"
done

if [ "$large" = 1 ]; then
  echo "== 10^7 lines x 8 channels =="
  export OSCALYX_BENCH_LARGE_CSV=$work/load-8x10M.csv OSCALYX_BENCH_LARGE=1
  "$BUILD_DIR/bin/oscalyx-bench" --benchmark_filter='BM_ReadCsv8x10M|BM_FilterVsBound8x10M' \
    --benchmark_format=json > "$work/large.json"
  "$BUILD_DIR/bin/oscalyx-bench" --benchmark_filter='BM_WindowBandPass8x10M' \
    --benchmark_format=json > "$work/window.json"
  size=$(stat -c %s "$OSCALYX_BENCH_LARGE_CSV")
  info_base=$(peak "$BUILD_DIR/bin/oscalyx-cli" info "$work/empty.csv")
  info_peak=$(peak "$BUILD_DIR/bin/oscalyx-cli" info "$OSCALYX_BENCH_LARGE_CSV")
  start=$(date +%s%N)
  band_peak=$(peak "$BUILD_DIR/bin/oscalyx-cli" info "$OSCALYX_BENCH_LARGE_CSV" --bandpass 20 0.1)
  band_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  "$PY" - "$work/large.json" "$size" "$info_base" "$info_peak" "$band_peak" "$band_ms" "$work/window.json" <<'PYEOF'
import json, sys
report, size, base, info, band, band_ms = sys.argv[1], int(sys.argv[2]), *map(int, sys.argv[3:7])
for b in json.load(open(sys.argv[7]))['benchmarks']:
    print(f"  window, band-pass flow (re-read beside the record, filter, redraw): {b['window_s']:.2f} s "
          f"= {b['window_s']*1000/band_ms:.2f} x oscalyx-cli info --bandpass (goal <= 1.2); "
          f"peak growth / sample arrays = {b['peak/arrays']:.2f} (goal <= 2.2)")
arrays = 8 * 10**7 * 4 / 1024
for b in json.load(open(report))['benchmarks']:
    if b['name'].startswith('BM_ReadCsv8x10M/'):
        print(f"  ReadCsv: {b['real_time']:.0f} ms, {size/1e6:.0f} MB at {size/b['real_time']/1e3:.0f} MB/s (goal >= 900)")
    if b['name'].startswith('BM_ReadCsv8x10MBesideARecord'):
        print(f"  ReadCsv beside a record of the same size (the window's re-read): {b['real_time']:.0f} ms, "
              f"{size/b['real_time']/1e3:.0f} MB/s")
    if b['name'].startswith('BM_FilterVsBound8x10M'):
        print(f"  filter: {b['steps']:.4g} steps in {b['filter_s']:.2f} s; bound {b['bound_s']:.2f} s; "
              f"filter / bound = {b['filter/bound']:.2f} (goal <= 1.25)")
print(f"  oscalyx-cli info: peak {info} KiB, growth / sample arrays = {(info-base)/arrays:.2f} (goal <= 1.1)")
print(f"  oscalyx-cli info --bandpass 20 0.1: {band_ms} ms, peak {band} KiB, "
      f"growth / sample arrays = {(band-base)/arrays:.2f}")
PYEOF
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
