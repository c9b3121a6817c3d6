#!/usr/bin/python3
"""The fit of candidates' chi(k) to a measured chi(k) as a user would script it with SciPy,
side by side with Orbelin's (bench_fit_speed) in the same run.

The SciPy fit is the same model and comparison: S0^2 chi(k') exp(-2 sigma2 k^2), k'^2 =
k^2 - 0.2625 dE0, the complex transform of k^2 chi over k 3-12 (Hanning, dk 1; numpy's FFT
on the 0.05 grid of 2048 points) compared over R 1-3.5 A, bounds S0^2 0.5-1.5, dE0 +-15 eV,
sigma2 -0.005-0.03, scipy.optimize.least_squares (trust region reflective) from dE0 = -8, 0
and 8 eV, the best of the three kept.

  bench/fit_scipy.py [--n 100] [--rounds 3] [--cpp build/bench/bench_fit_speed]
                     [--cpp-n 10000] MEASURED.chik JOBS_DIR

Each round times the SciPy fits of n candidates (one process, one core) and, with --cpp,
Orbelin's fits of the same model (--fit 3,12,2,1,3.5,one) for cpp-n candidates on 1 and 2
threads; the variants alternate within a round. Prints the medians and the ratio per
candidate.
"""
import argparse
import os
import re
import subprocess
import sys
import time

import numpy as np
from scipy.interpolate import CubicSpline
from scipy.optimize import least_squares

ETOK = 0.2625
NG, DK = 2048, 0.05
KG = np.arange(NG) * DK
RSTEP = np.pi / (NG * DK)


def columns(path):
    rows = []
    with open(path, errors='replace') as f:
        for line in f:
            words = line.split('#')[0].split()
            try:
                values = [float(w) for w in words]
            except ValueError:
                continue
            if len(values) >= 2:
                rows.append(values[:2])
    a = np.array(rows)
    return a[:, 0], a[:, 1]


def window(kmin, kmax, dk=1.0):
    k1, k2, k3, k4 = kmin - dk / 2, kmin + dk / 2, kmax - dk / 2, kmax + dk / 2
    w = np.zeros(NG)
    w[(KG >= k2) & (KG <= k3)] = 1
    m = (KG >= k1) & (KG < k2)
    w[m] = np.sin(np.pi / 2 * (KG[m] - k1) / (k2 - k1)) ** 2
    m = (KG > k3) & (KG <= k4)
    w[m] = np.cos(np.pi / 2 * (KG[m] - k3) / (k4 - k3)) ** 2
    return w


def chir(chi_on_grid, weight, sel):
    r = np.fft.fft(chi_on_grid * weight)[sel] * DK / np.sqrt(np.pi)
    return np.concatenate([r.real, r.imag])


def fit_one(k, chi, data, weight, sel):
    spline = CubicSpline(k, chi)

    def residual(p):
        s02, e0, ss = p
        kp = np.sqrt(np.maximum(KG ** 2 - ETOK * e0, 0))
        model = np.where((kp >= k[0]) & (kp <= k[-1]), spline(kp), 0.0)
        return chir(s02 * model * np.exp(-2 * ss * KG ** 2), weight, sel) - data

    best = None
    for e0 in (-8.0, 0.0, 8.0):
        r = least_squares(residual, [1.0, e0, 0.003], bounds=([0.5, -15, -0.005], [1.5, 15, 0.03]))
        if best is None or r.cost < best.cost:
            best = r
    return 2 * best.cost / np.sum(data ** 2), best.x


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--n', type=int, default=100)
    ap.add_argument('--rounds', type=int, default=3)
    ap.add_argument('--cpp')
    ap.add_argument('--cpp-n', type=int, default=10000)
    ap.add_argument('measured')
    ap.add_argument('jobs')
    a = ap.parse_args()

    k, chi = columns(a.measured)
    kmax = min(12.0, k[-1])
    weight = window(3.0, kmax) * KG ** 2
    m = np.arange(int(np.ceil(1.0 / RSTEP - 1e-9)), int(np.floor(3.5 / RSTEP + 1e-9)) + 1)
    data = chir(np.interp(KG, k, chi, left=0, right=0), weight, m)
    jobs = []
    for name in sorted(os.listdir(a.jobs)):
        path = os.path.join(a.jobs, name, 'chi.dat')
        if os.path.exists(path):
            jobs.append(columns(path))
    if not jobs:
        sys.exit(a.jobs + ': no job directory with chi.dat')
    candidates = [jobs[i % len(jobs)] for i in range(a.n)]

    scipy_s, scipy_cpu, cpp1_s, cpp2_s, cpp1_cpu = [], [], [], [], []
    for rnd in range(a.rounds):
        order = ['scipy', 'cpp'] if rnd % 2 == 0 else ['cpp', 'scipy']
        for variant in order:
            if variant == 'scipy':
                t0, c0 = time.perf_counter(), time.process_time()
                for ck, cchi in candidates:
                    fit_one(ck, cchi, data, weight, m)
                scipy_s.append((time.perf_counter() - t0) / a.n)
                scipy_cpu.append((time.process_time() - c0) / a.n)
            elif a.cpp:
                out = subprocess.run([a.cpp, '--n', str(a.cpp_n), '--threads', '1,2', '--rounds', '1',
                                      '--fit', '3,12,2,1,3.5,one', a.measured, a.jobs],
                                     capture_output=True, text=True).stdout
                for line in out.splitlines():
                    hit = re.match(r'threads (\d+): ([0-9.]+) s .* CPU ([0-9.]+) s', line)
                    if hit and hit.group(1) == '1':
                        cpp1_s.append(float(hit.group(2)))
                        cpp1_cpu.append(float(hit.group(3)))
                    elif hit:
                        cpp2_s.append(float(hit.group(2)))
    scipy, scipy_c = float(np.median(scipy_s)), float(np.median(scipy_cpu))
    print(f'SciPy least_squares, 3 starts: {scipy * 1e3:.1f} ms per candidate, CPU '
          f'{scipy_c * 1e3:.1f} ms (median of {a.rounds} rounds of {a.n}); 10000 candidates '
          f'on 2 processes: {scipy * 1e4 / 2:.0f} s')
    if a.cpp and cpp1_s and cpp2_s:
        one, two = float(np.median(cpp1_s)), float(np.median(cpp2_s))
        one_c = float(np.median(cpp1_cpu))
        print(f'Orbelin fitAll, {a.cpp_n} candidates: {one:.2f} s on 1 thread '
              f'({one / a.cpp_n * 1e3:.3f} ms per candidate, CPU {one_c / a.cpp_n * 1e3:.3f} ms), '
              f'{two:.2f} s on 2 threads')
        print(f'ratio per candidate on one core, SciPy / Orbelin: wall {scipy / (one / a.cpp_n):.0f}, '
              f'CPU {scipy_c / (one_c / a.cpp_n):.0f}')


if __name__ == '__main__':
    main()
