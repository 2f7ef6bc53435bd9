#!/usr/bin/env python3
"""End to end: `tolvane-cli xfit --batch` over many spectrum files against a
vectorised numpy version of the same fit (read the files, top-hat filter,
per-window normal equations, solve), run side by side on the same files.
Prints the median wall time of each over the repetitions and the ratio.

usage: xfit_batch_vs_numpy.py TOLVANE_CLI [FILES=10000] [REPETITIONS=5]

Eight standards (Ti..Zn K lines, 2048 channels of 10 eV, windows of
K-alpha +-1 FWHM); the files go to a temporary folder, removed at the end.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

# The spectrum-file and table writers of the fit-quality check, which writes
# both formats from their byte layout without the program's own code.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "xfit"))
from fit_quality_check import write_spectrum, write_table  # noqa: E402

CHANNELS = 2048
LINES = [("Ti", 4.511, 4.932), ("Cr", 5.415, 5.947), ("Mn", 5.899, 6.490), ("Fe", 6.404, 7.058),
         ("Co", 6.930, 7.649), ("Ni", 7.478, 8.265), ("Cu", 8.048, 8.905), ("Zn", 8.639, 9.572)]


def sigma_channels(kev):
    return np.sqrt(95.0 ** 2 + 2.7 * kev * 1000.0) / 2.3548 / 10.0


def mean_spectrum(ratios):
    c = np.arange(CHANNELS, dtype=float)
    mean = 30.0 + 0.01 * c
    for ratio, (_, alpha, beta) in zip(ratios, LINES):
        for kev, height in ((alpha, 2500.0), (beta, 330.0)):
            mean = mean + ratio * height * np.exp(-0.5 * ((c - kev * 100) / sigma_channels(kev)) ** 2)
    return mean


def top_hat(counts):
    """The filter on every row at once: out[c] = sum of inputs c-9..c+6
    minus those of c-17..c-10 and c+7..c+14, inputs past the ends zero."""
    n = counts.shape[-1]
    pad = np.zeros(counts.shape[:-1] + (n + 32,))
    pad[..., 17:17 + n] = counts
    s = np.concatenate([np.zeros(counts.shape[:-1] + (1,)), np.cumsum(pad, axis=-1)], axis=-1)
    c = np.arange(n) + 17
    centre = s[..., c + 7] - s[..., c - 9]
    sides = (s[..., c - 9] - s[..., c - 17]) + (s[..., c + 15] - s[..., c + 7])
    return centre - sides


def top_hat_variance(counts):
    n = counts.shape[-1]
    pad = np.zeros(counts.shape[:-1] + (n + 32,))
    pad[..., 17:17 + n] = counts
    s = np.concatenate([np.zeros(counts.shape[:-1] + (1,)), np.cumsum(pad, axis=-1)], axis=-1)
    c = np.arange(n) + 17
    return s[..., c + 16] - s[..., c - 16]


def numpy_batch(paths, std_filtered, wins):
    counts = np.stack([np.fromfile(p, dtype="<i4", offset=1024)[:CHANNELS] for p in paths]).astype(float)
    y = top_hat(counts)
    v = top_hat_variance(counts)
    v[v == 0] = 1.0
    m = len(wins)
    a = np.zeros((len(paths), m, m))
    b = np.zeros((len(paths), m))
    for i, (lo, hi) in enumerate(wins):
        b[:, i] = (y[:, lo:hi] / v[:, lo:hi]) @ std_filtered[i, lo:hi]
        for j, (lo2, hi2) in enumerate(wins):
            l, h = max(lo, lo2), min(hi, hi2)
            if l < h:
                a[:, i, j] = (1.0 / v[:, l:h]) @ (std_filtered[i, l:h] * std_filtered[j, l:h])
    return np.linalg.solve(a, b[..., None])[..., 0]


def main():
    cli = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    repetitions = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work = tempfile.mkdtemp(prefix="xfit-batch-numpy-")
    try:
        rng = np.random.default_rng(7)
        names = [n for n, _, _ in LINES]
        wins = []
        for _, alpha, _ in LINES:
            fwhm = 2.3548 * sigma_channels(alpha)
            wins.append((int(round(alpha * 100 - fwhm)), int(round(alpha * 100 + fwhm))))
        standards = []
        for k in range(len(LINES)):
            standards.append(rng.poisson(mean_spectrum(np.eye(len(LINES))[k])))
            write_spectrum(os.path.join(work, "std_%s.dat" % names[k]), standards[-1])
        table = os.path.join(work, "table.ref")
        write_table(table, names, ["std_%s.dat" % n for n in names], wins)
        paths = []
        for i in range(files):
            ratios = np.where(rng.random(len(LINES)) < 0.6, rng.uniform(0.05, 1.0, len(LINES)), 0.0)
            paths.append(os.path.join(work, "s%05d.dat" % i))
            write_spectrum(paths[-1], rng.poisson(mean_spectrum(ratios)))
        std_filtered = top_hat(np.array(standards, dtype=float))

        cli_times, numpy_times = [], []
        kratios = None
        for _ in range(repetitions):
            start = time.perf_counter()
            run = subprocess.run([cli, "xfit", "--batch", table] + paths, capture_output=True, text=True)
            cli_times.append(time.perf_counter() - start)
            if run.returncode != 0:
                print(run.stderr[:2000])
                return 1
            start = time.perf_counter()
            kratios = numpy_batch(paths, std_filtered, wins)
            numpy_times.append(time.perf_counter() - start)
        # The two agree on the K-ratios.
        rows = run.stdout.splitlines()[1:]
        cli_k = np.array([[float(x) for x in r.split(",")[1:1 + 2 * len(LINES):2]] for r in rows])
        worst = np.max(np.abs(cli_k - kratios * 100))
        stderr_lines = len(run.stderr.splitlines())
        c, n = statistics.median(cli_times), statistics.median(numpy_times)
        print("%d files, medians of %d: xfit --batch %.3f s (%.0f spectra/s), numpy %.3f s (%.0f spectra/s), "
              "ratio %.2f; largest K-ratio difference %.2g %%; %d lines on standard error" %
              (files, repetitions, c, files / c, n, files / n, n / c, worst, stderr_lines))
    finally:
        shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
