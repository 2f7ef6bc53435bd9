"""`tolvane-cli import` against readers we did not write: PyMca's SPEC
reader (PyMca5.PyMcaIO.specfile) on the SPEC samples of tests/files/imports,
and numpy.loadtxt on PyMca's one-column XRFSpectrum.mca. The counts must be
equal channel by channel, and for SPEC the energy of every channel (from
#@CHANN and the linear terms of #@CALIB, as PyMca's own McaCalibration
uses them) within a millionth of a keV plus float rounding; the live and
real times as #@CTIME gives them, to the tenth.

Usage: imports_read_alike.py TOLVANE_CLI WORK_DIR
"""
import json
import os
import subprocess
import sys

import numpy as np
from PyMca5.PyMcaIO import specfile

CLI, WORK = sys.argv[1], sys.argv[2]
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "files", "imports")
failures = []


def cli(*args):
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"tolvane-cli {' '.join(args)} failed: {done.stderr}")
    return done.stdout


def imported(path):
    out = os.path.join(WORK, os.path.basename(path) + ".dat")
    cli("import", path, "--out", out)
    raw = open(out, "rb").read()
    header = raw[:1024]
    n = int(np.frombuffer(header[54:56], "<i2")[0])
    counts = np.frombuffer(raw[1024:1024 + 4 * n], "<i4")
    info = json.loads(cli("info", out, "--json"))
    return counts, info


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


os.makedirs(WORK, exist_ok=True)
for name in ("spec_pymca.spec", "spec_certif.spec"):
    path = os.path.join(SAMPLES, name)
    sf = specfile.Specfile(path)
    scan = next(sf[i] for i in range(len(sf)) if sf[i].nbmca() > 0)
    theirs = np.asarray(scan.mca(1))
    ours, info = imported(path)
    check(np.array_equal(ours[:len(theirs)], theirs) and not ours[len(theirs):].any(), f"{name}: counts differ")
    chann = [float(x) for x in scan.header("@CHANN")[0].split()[1:]]
    calib = [float(x) for x in scan.header("@CALIB")[0].split()[1:]]
    ctime = [float(x) for x in scan.header("@CTIME")[0].split()[1:]]
    channels = chann[1] + np.arange(len(theirs)) * chann[3]
    energy = calib[0] + calib[1] * channels
    cal = info["calibration"]
    ours_e = cal["offset"] + cal["gain"] * np.arange(len(theirs))
    check(np.max(np.abs(ours_e - energy)) < 1e-6 + 1e-6 * np.max(np.abs(energy)),
          f"{name}: energies differ by {np.max(np.abs(ours_e - energy))} keV")
    check(abs(info["live_time_s"] - round(ctime[1], 1)) < 1e-9 and abs(info["real_time_s"] - round(ctime[2], 1)) < 1e-9,
          f"{name}: times {info['live_time_s']} {info['real_time_s']} vs #@CTIME {ctime}")
    print(f"{name}: {len(theirs)} channels read as PyMca reads them")

xrf = "/usr/share/pymca/XRFSpectrum.mca"
if os.path.exists(xrf):
    theirs = np.loadtxt(xrf)
    ours, _ = imported(xrf)
    check(np.array_equal(ours[:len(theirs)], np.round(theirs)), "XRFSpectrum.mca: counts differ from numpy.loadtxt")
    print(f"XRFSpectrum.mca: {len(theirs)} channels read as numpy reads them")
else:
    print("SKIPPED:", xrf, "is missing")
if failures:
    sys.exit(f"{len(failures)} import check(s) failed")
