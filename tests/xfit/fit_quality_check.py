#!/usr/bin/env python3
"""The fit quality of `tolvane-cli xfit --json` against a computation of
its own in numpy: eight K-line standards (Ti..Zn, 2048 channels of 10 eV,
windows of the K-alpha line +-1 FWHM) written as spectrum files and a table,
samples made from them (an exact mixture, a copy of a standard, Poisson
mixtures), and for each the K-ratios of the per-window fit, the reduced
chi-square of the filtered sample against the full model (each standard's
whole filtered spectrum), its expectation from the dense covariance of the
filtered channels, the chi-square after the spill's bias and the spill flags.

usage: fit_quality_check.py TOLVANE_CLI WORK_FOLDER
"""
import json
import os
import struct
import subprocess
import sys

import numpy as np

CHANNELS = 2048
SIDE, CENTRE = 8, 16
LENGTH = 2 * SIDE + CENTRE
HALF = LENGTH // 2
WEIGHTS = np.array([-CENTRE * 0.5 / SIDE] * SIDE + [1.0] * CENTRE + [-CENTRE * 0.5 / SIDE] * SIDE)
LINES = [("Ti", 4.511, 4.932), ("Cr", 5.415, 5.947), ("Mn", 5.899, 6.490), ("Fe", 6.404, 7.058),
         ("Co", 6.930, 7.649), ("Ni", 7.478, 8.265), ("Cu", 8.048, 8.905), ("Zn", 8.639, 9.572)]


def sigma_channels(kev):
    return np.sqrt(95.0 ** 2 + 2.7 * kev * 1000.0) / 2.3548 / 10.0


def mean_spectrum(ratios, base, slope):
    c = np.arange(CHANNELS, dtype=float)
    mean = base + slope * c
    for ratio, (_, alpha, beta) in zip(ratios, LINES):
        for kev, height in ((alpha, 2500.0), (beta, 330.0)):
            mean += ratio * height * np.exp(-0.5 * ((c - kev * 100) / sigma_channels(kev)) ** 2)
    return mean


def windows():
    out = []
    for _, alpha, _ in LINES:
        fwhm = 2.3548 * sigma_channels(alpha)
        out.append((int(round(alpha * 100 - fwhm)), int(round(alpha * 100 + fwhm))))
    return out


def write_spectrum(path, counts):
    header = bytearray(1024)
    struct.pack_into("<h", header, 54, len(counts))
    with open(path, "wb") as f:
        f.write(bytes(header) + np.asarray(counts, dtype="<i4").tobytes())


def write_table(path, names, files, wins):
    data = bytearray()
    for k in range(16):
        record = bytearray(128)
        if k < len(names):
            record[0:len(files[k])] = files[k].encode()
            record[32:32 + len(names[k])] = names[k].encode()
            struct.pack_into("<iii", record, 40, 1, wins[k][0], wins[k][1])
        else:
            record[0:7] = b" " * 7
            record[32:37] = b" " * 5
        struct.pack_into("<f", record, 76, 1.0)
        data += record
    with open(path, "wb") as f:
        f.write(bytes(data))


def filter_rows(rows, n, shift=0, squared=False):
    """Rows of the filter as a matrix on the 4096 inputs; a row the filter
    does not write (past the spectrum, or reaching past input 4095) is 0."""
    f = np.zeros((len(rows), 4096))
    w = WEIGHTS ** 2 if squared else WEIGHTS
    for i, c in enumerate(rows):
        first = c - HALF - 1 + shift
        if c >= n or first + LENGTH - 1 > 4095:
            continue
        for j in range(LENGTH):
            if first + j >= 0:
                f[i, first + j] = w[j]
    return f


def padded(counts):
    out = np.zeros(4096)
    out[:len(counts)] = counts
    return out


def expected_quality(standards, sample, wins):
    m, n = len(standards), len(sample)
    union = sorted({c for lo, hi in wins for c in range(lo, hi)})
    inside = np.array([[lo <= c < hi for (lo, hi) in wins] for c in union])
    every = list(range(4096))
    std_filtered = [filter_rows(every, CHANNELS) @ padded(s) for s in standards]
    x = np.array([[sf[c] for sf in std_filtered] for c in union])
    x_win = np.where(inside, x, 0.0)
    all_rows = filter_rows(union, CHANNELS)
    all_rows2 = filter_rows(union, CHANNELS, squared=True)
    shifted2 = filter_rows(union, CHANNELS, shift=1, squared=True)
    std_var = np.array([all_rows2 @ padded(np.maximum(s, 0)) for s in standards]).T

    # The per-window fit, from the whole filtered sample.
    y_all = filter_rows(every, n) @ padded(sample)
    v_all = filter_rows(every, n, shift=1, squared=True) @ padded(sample)
    v_all[v_all == 0] = 1.0
    a = np.zeros((m, m))
    b = np.zeros(m)
    for i, (lo, hi) in enumerate(wins):
        b[i] = np.sum(std_filtered[i][lo:hi] * y_all[lo:hi] / v_all[lo:hi])
        for j, (lo2, hi2) in enumerate(wins):
            l, h = max(lo, lo2), min(hi, hi2)
            if l < h:
                a[i, j] = np.sum(std_filtered[i][l:h] * std_filtered[j][l:h] / v_all[l:h])
    k = np.linalg.solve(a, b)

    # What a correct model leaves, row by row, from the dense covariance for
    # a sample of all the standards together.
    lam = padded(np.sum([np.maximum(s, 0) for s in standards], axis=0))
    cov = all_rows @ np.diag(lam) @ all_rows.T
    d = np.diag(cov).copy()
    v_ref = shifted2 @ lam
    w_ref = np.where(v_ref == 0, 1.0, 1.0 / np.where(v_ref == 0, 1.0, v_ref))
    g = np.linalg.inv(x_win.T @ (w_ref[:, None] * x_win))
    h = x @ g @ x_win.T @ np.diag(w_ref)
    p = np.eye(len(union)) - h
    left = np.diag(p @ cov @ p.T)
    expected = np.where(d > 0, np.clip(left / np.where(d > 0, d, 1.0), 0.0, 1.0), 1.0)

    union_arr = np.array(union)
    written = (union_arr < n) & (union_arr + LENGTH - HALF - 2 <= 4095)
    y = y_all[union_arr]
    sample_var = all_rows2 @ padded(np.maximum(sample, 0))

    def reduced(kratios):
        r = y - x @ kratios
        var = sample_var + std_var @ (kratios ** 2)
        used = written & (var > 0)
        return np.sum(r[used] ** 2 / var[used]) / np.sum(expected[used])

    # The K-ratios of the full model from the fit's own sums.
    wy = 1.0 / v_all[union_arr]
    k_full = np.linalg.solve(x_win.T @ (wy[:, None] * x), x_win.T @ (wy * y))

    spills = set()
    for kk in range(m):
        for j in range(m):
            if kk == j:
                continue
            rows_j = inside[:, j]
            own = np.sum(w_ref[rows_j] * x[rows_j, j] ** 2)
            out = rows_j & ~inside[:, kk]
            spill = np.sum(w_ref[out] * x[out, j] * x[out, kk])
            noise = np.sum((w_ref[out] * x[out, j]) ** 2 * std_var[out, kk])
            if own > 0 and abs(spill) > 0.01 * own and spill ** 2 > 25 * noise:
                spills.add((kk, j))
    return k, reduced(k), reduced(k_full), spills


def main():
    cli, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    rng = np.random.default_rng(20261208)
    names = [name for name, _, _ in LINES]
    wins = windows()
    standards = []
    files = []
    for k in range(len(LINES)):
        ratios = [1.0 if i == k else 0.0 for i in range(len(LINES))]
        counts = rng.poisson(mean_spectrum(ratios, 15.0, 0.0)).astype(np.int64)
        standards.append(counts)
        files.append("std_%s.dat" % names[k])
        write_spectrum(os.path.join(work, files[-1]), counts)
    table = os.path.join(work, "table.ref")
    write_table(table, names, files, wins)

    samples = {"exact_ti_cu": np.rint(0.3 * standards[0] + 0.4 * standards[6]).astype(np.int64),
               "fe_copy": standards[3].copy()}
    for i in range(6):
        ratios = np.where(rng.random(len(LINES)) < 0.6, rng.uniform(0.05, 1.0, len(LINES)), 0.0)
        samples["poisson_%d" % i] = rng.poisson(mean_spectrum(ratios, 40.0, 0.02)).astype(np.int64)

    failures = 0
    for label, sample in samples.items():
        path = os.path.join(work, label + ".dat")
        write_spectrum(path, sample)
        run = subprocess.run([cli, "xfit", "--json", path, table], capture_output=True, text=True)
        if run.returncode != 0:
            print("%s: xfit failed: %s" % (label, run.stderr))
            failures += 1
            continue
        result = json.loads(run.stdout)
        k, chi2r, after, spills = expected_quality(standards, sample, wins)
        got_k = np.array([s["kratio_pct"] for s in result["standards"]])
        got_spills = {(f["index"], f["other_index"]) for f in result["flags"] if f["kind"] == "window_spill"}
        kinds = sorted({f["kind"] for f in result["flags"]})
        print("%-12s chi2r %8.4f (numpy %8.4f)  after spill %7.4f (numpy %7.4f)  flags %s" %
              (label, result["chi2_reduced"], chi2r, result["chi2_reduced_after_spill"], after, ",".join(kinds)))
        checks = [
            (np.allclose(got_k, np.float32(k * 100), rtol=1e-5, atol=1e-4), "K-ratios %s vs %s" % (got_k, k * 100)),
            (abs(result["chi2_reduced"] - chi2r) <= 1e-4 + 1e-4 * chi2r, "chi2r"),
            (abs(result["chi2_reduced_after_spill"] - after) <= 1e-4 + 1e-4 * after, "chi2r after spill"),
            (got_spills == spills, "spills %s vs %s" % (sorted(got_spills), sorted(spills))),
            (("chi2_high" in kinds) == (after > 3), "chi2_high"),
        ]
        for ok, what in checks:
            if not ok:
                print("  MISMATCH: " + what)
                failures += 1
    if failures:
        print("%d mismatches" % failures)
        return 1
    print("all agree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
