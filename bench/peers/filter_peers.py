"""Times numpy.convolve and scipy.signal.oaconvolve on the band-pass filter of
the benchmark (999 taps, 8 channels x 100 000 samples at 1000 samples/s) and
prints them beside the time of our filter read from a Google Benchmark JSON
file.

Only the convolutions are timed: imports, the design of the taps and the
making of the samples happen before the clock starts. Each side is timed as the
best of several runs over all eight channels (ours: the best of the benchmark's
short repetitions).
"""

import json
import sys
import time

import numpy as np
import scipy.signal

CHANNELS = 8
SAMPLES = 100_000
RATE = 1000
CENTRE = np.float32(20.0)
RATIO = np.float32(0.1)
HALF_LENGTH = 500


def design_taps():
    """The 999 taps of the program's filter for CENTRE and RATIO at RATE, by the
    same closed form: named values rounded to single precision, expressions in
    double."""
    f32 = np.float32
    dt = f32(1.0) / f32(RATE)
    f_low = f32((1.0 - float(RATIO)) * float(CENTRE))
    f_high = f32((1.0 + float(RATIO)) * float(CENTRE))
    two_pi = 2.0 * np.pi
    w = f32(two_pi / float(dt))
    nu1, nu2, nu3, nu4 = (f32(two_pi * float(f) / float(w))
                          for f in (f32(0.5 * float(f_low)), f_low, f_high, f32(1.5 * float(f_high))))
    d12 = f32(float(nu2) - float(nu1))
    d34 = f32(float(nu4) - float(nu3))
    s12 = float(nu2) + float(nu1)
    s34 = float(nu4) + float(nu3)
    h = np.empty(HALF_LENGTH, dtype=np.float32)
    h[0] = f32(s34 - s12)
    m = np.arange(1, HALF_LENGTH, dtype=np.float64) * np.pi
    m = m.astype(np.float32).astype(np.float64)
    h[1:] = (np.sin(m * float(d34)) * np.sin(m * s34) / float(d34) / m / m
             - np.sin(m * float(d12)) * np.sin(m * s12) / float(d12) / m / m).astype(np.float32)
    return np.concatenate([h[:0:-1], h])  # symmetric, 2N - 1 taps


def make_samples():
    rng = np.random.default_rng(2024)
    t = np.arange(SAMPLES) / RATE
    x = np.empty((CHANNELS, SAMPLES), dtype=np.float32)
    for c in range(CHANNELS):
        x[c] = ((1.0 + 0.1 * c) * np.exp(-0.05 * t) * np.cos(2 * np.pi * 20.3 * t + 0.7 * c)
                + 0.4 * np.sin(2 * np.pi * 3.1 * t) + 0.25
                + rng.normal(0.0, 0.02, SAMPLES))
    return x


def best_of(runs, work):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def ours_from(path, name):
    with open(path, encoding="utf-8") as f:
        report = json.load(f)
    times = [b["real_time"] for b in report["benchmarks"]
             if b.get("run_name", b["name"]).startswith(name) and b.get("run_type") == "iteration"]
    if not times:
        sys.exit(f"no '{name}' result in {path}")
    unit = report["benchmarks"][0].get("time_unit", "ns")
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[unit]
    return min(times) * scale


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: filter_peers.py BENCH_JSON BENCHMARK_NAME")
    taps = design_taps()
    x = make_samples()
    assert taps.shape == (2 * HALF_LENGTH - 1,)

    def numpy_all():
        for c in range(CHANNELS):
            np.convolve(x[c], taps, "same")

    def scipy_all():
        for c in range(CHANNELS):
            scipy.signal.oaconvolve(x[c], taps, "same")

    numpy_all()
    scipy_all()
    t_numpy = best_of(3, numpy_all)
    t_scipy = best_of(15, scipy_all)
    t_ours = ours_from(sys.argv[1], sys.argv[2])

    print(f"band-pass, {len(taps)} taps, {CHANNELS} x {SAMPLES} float32 samples "
          f"(numpy {np.__version__}, scipy {scipy.__version__})")
    print(f"  oscalyx FilterAllChannels   {t_ours * 1e3:9.2f} ms")
    print(f"  numpy.convolve same         {t_numpy * 1e3:9.2f} ms   oscalyx is {t_numpy / t_ours:6.2f}x faster")
    print(f"  scipy.signal.oaconvolve     {t_scipy * 1e3:9.2f} ms   oscalyx is {t_scipy / t_ours:6.2f}x faster")
    print("  (the peers neither round every step to single precision nor keep the program's bits;")
    print("   the measure of our filter is its time against the bound of its arithmetic, above)")


if __name__ == "__main__":
    main()
