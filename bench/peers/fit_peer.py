#!/usr/bin/env python3
"""Compares oscalyx-cli fit with scipy.optimize.least_squares on the same points.

For each case a noisy free decay is written as a standard CSV record, evaluated
with `oscalyx-cli fit --json`, and the same 100 fit points (start + k*step,
time k*step*dt) are fitted by scipy's trust-region least squares from the same
initial values (A = first point, wn = 2*pi*f0, h0, phi = 0). Printed: our values,
scipy's, the differences, and the differences in units of scipy's standard
error of each parameter (from the Jacobian at its optimum), plus our pass count
and the wall time of both.
"""
import json
import math
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
from scipy.optimize import least_squares

FIT_POINTS = 100

# name, rate (1/s), f (Hz), h, A, phi, noise (absolute), decay start, width (s), f0, h0
CASES = [
    ("sample-like", 100, 1.96, 0.025, 40.0, 0.4, 0.25, 2000, 5.0, 2.0, 0.03),
    ("sample-like, noisy", 100, 1.96, 0.025, 40.0, 0.4, 4.0, 2000, 5.0, 2.0, 0.03),
    ("3.7 Hz, 200/s", 200, 3.7, 0.045, 1.8, -0.9, 0.07, 600, 5.0, 3.4, 0.03),
    ("7.1 Hz, 500/s", 500, 7.1, 0.012, 900.0, 1.3, 30.0, 1000, 2.0, 7.5, 0.02),
    ("0.6 Hz, 50/s, 20 s", 50, 0.6, 0.02, 5.0, 2.2, 0.3, 500, 20.0, 0.5, 0.03),
    ("short width 0.1 s", 1000, 21.0, 0.04, 2.0, 0.3, 0.05, 100, 0.1, 20.0, 0.03),
]


def decay_record(rate, f, h, amplitude, phi, noise, start, count, seed):
    rng = np.random.default_rng(seed)
    t = (np.arange(count) - start) / rate
    wn = 2 * math.pi * f
    x = amplitude * np.exp(-h * wn * t) * np.cos(wn * math.sqrt(1 - h * h) * t + phi)
    x[:start] = 0.0
    return (x + noise * rng.standard_normal(count)).astype(np.float32)


def write_csv(path, rate, samples):
    with open(path, "w", newline="") as out:
        out.write(f"P1\r\n{rate},s\r\nMEMO1\r\ncm/s2\r\n")
        for v in samples:
            out.write(f"{float(v):.9g}\r\n")


def model(p, t):
    a, wn, h, phi = p
    return a * np.exp(-h * wn * t) * np.cos(wn * np.sqrt(1 - h * h) * t + phi)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: fit_peer.py PATH/TO/oscalyx-cli")
    cli = sys.argv[1]
    print(f"{'case':22} {'':6} {'A':>12} {'f (Hz)':>12} {'h':>12} {'phi':>10} {'ratio':>8} "
          f"{'passes':>6} {'time':>9}")
    worst_sigma = 0.0
    with tempfile.TemporaryDirectory() as folder:
        for i, (name, rate, f, h, amp, phi, noise, start, width, f0, h0) in enumerate(CASES):
            dt = np.float32(1.0 / rate)
            n = int(rate * float(np.float32(width)))
            step = n // FIT_POINTS or 1
            count = start + FIT_POINTS * step + rate
            samples = decay_record(rate, f, h, amp, phi, noise, start, count, 1000 + i)
            path = os.path.join(folder, f"case{i}.csv")
            write_csv(path, rate, samples)

            began = time.perf_counter()
            run = subprocess.run([cli, "fit", path, "--channel", "1", "--start", str(start),
                                  "--width", repr(width), "--f0", repr(f0), "--h0", repr(h0), "--json"],
                                 capture_output=True, text=True)
            ours_time = time.perf_counter() - began
            if run.returncode != 0:
                print(f"{name:22} oscalyx-cli failed ({run.returncode}): {run.stderr.strip()}")
                continue
            ours = json.loads(run.stdout)

            y = samples[start + step * np.arange(FIT_POINTS)].astype(np.float64)
            t = np.arange(FIT_POINTS) * float(np.float32(step * float(dt)))
            began = time.perf_counter()
            fit = least_squares(lambda p: model(p, t) - y, [y[0], 2 * math.pi * f0, h0, 0.0],
                                method="trf", x_scale="jac", xtol=1e-14, ftol=1e-14, gtol=1e-14)
            peer_time = time.perf_counter() - began
            a, wn, hh, ph = fit.x
            residual = fit.fun
            dof = FIT_POINTS - 4
            cov = np.linalg.pinv(fit.jac.T @ fit.jac) * (residual @ residual / dof)
            se = np.sqrt(np.maximum(np.diag(cov), 0.0))
            ratio = 1 - np.mean(residual ** 2) / np.mean(y ** 2)

            ours_f = ours["f"]
            peer_f = wn / (2 * math.pi)
            sigmas = [abs(ours["A"] - a) / se[0] if se[0] > 0 else 0.0,
                      abs(ours["wn"] - wn) / se[1] if se[1] > 0 else 0.0,
                      abs(ours["h"] - hh) / se[2] if se[2] > 0 else 0.0]
            worst_sigma = max(worst_sigma, *sigmas)
            print(f"{name:22} {'ours':6} {ours['A']:12.5f} {ours_f:12.6f} {ours['h']:12.6f} "
                  f"{ours['phi']:10.5f} {ours['ratio']:8.5f} {ours['passes']:6d} {ours_time * 1e3:7.1f}ms")
            print(f"{'':22} {'scipy':6} {a:12.5f} {peer_f:12.6f} {hh:12.6f} {ph:10.5f} {ratio:8.5f} "
                  f"{fit.nfev:6d} {peer_time * 1e3:7.1f}ms")
            print(f"{'':22} {'diff':6} {ours['A'] - a:12.2e} {ours_f - peer_f:12.2e} {ours['h'] - hh:12.2e} "
                  f"{ours['phi'] - ph:10.2e}")
            print(f"{'':22} {'/se':6} {sigmas[0]:12.3f} {sigmas[1]:12.3f} {sigmas[2]:12.3f}")
    print(f"largest difference from scipy's optimum: {worst_sigma:.3f} standard errors")
    print("(our time is the whole oscalyx-cli run: start, reading the CSV file, the fit; "
          "scipy's 'passes' column is its function evaluations)")


if __name__ == "__main__":
    main()
