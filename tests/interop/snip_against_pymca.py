"""`tolvane-cli background` against PyMca's SNIP (SpecfitFuns.snip1d) on
real spectra that ship with Debian's HyperSpy and PyMca packages.

Each spectrum is written as an EMSA file, imported with `tolvane-cli
import`, and its background written with `tolvane-cli background`; PyMca
clips the counts of that same imported file. Both run the same algorithm in
double precision (the decreasing window, PyMca's llm_flag for the
log-log-sqrt transform, its smoothing passes); the background file holds
whole counts, so the tolerance is the rounding to whole counts: half a
count, plus a millionth for the last bits of the transform's exp and log.
The width from the detector's resolution is checked against the formula
worked here (two FWHM at the middle of the range, FWHM^2 = noise^2 +
2.3548^2 * 0.115 * 3.85 eV * E with 145 eV at 5.899 keV).

A spectrum whose package file is missing is reported as skipped; fewer than
three found skips the test (exit code 77), never passes it.

Usage: snip_against_pymca.py TOLVANE_CLI WORK_DIR
"""
import json
import logging
import math
import os
import subprocess
import sys
import warnings

import numpy as np

os.environ.setdefault("MPLBACKEND", "Agg")
logging.disable(logging.WARNING)
warnings.filterwarnings("ignore")

from PyMca5.PyMcaMath.fitting import SpecfitFuns  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from real_spectra import load, write_msa  # noqa: E402

CLI, WORK = sys.argv[1], sys.argv[2]
HYPERSPY = "/usr/lib/python3/dist-packages/hyperspy/"
PYMCA = "/usr/share/pymca/"
SOURCES = [
    ("bam_eds_tm002", HYPERSPY + "misc/eds/example_signals/1D_EDS_SEM_Spectrum.hspy"),
    ("fept_tem", HYPERSPY + "misc/eds/example_signals/1D_EDS_TEM_Spectrum.hspy"),
    ("bruker_nano", HYPERSPY + "tests/io/bruker_data/bruker_nano.spx"),
    ("m6_jetstream", HYPERSPY + "tests/io/bruker_data/bruker_m6_jetstream_file_example.spx"),
    ("pymca_steel", PYMCA + "Steel.spe"),
]
# width, smoothing passes, log-log-sqrt
VARIANTS = [(None, 0, True), (12, 0, False), (40, 2, True), (25, 1, False)]


def cli(*args):
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"tolvane-cli {' '.join(args)} failed: {done.stderr}")
    return done.stdout


def read_dat(path):
    raw = open(path, "rb").read()
    n = int(np.frombuffer(raw[54:56], "<i2")[0])
    return np.frombuffer(raw[1024:1024 + 4 * n], "<i4").astype(float)


def expected_width(gain_kev, offset_kev, channels):
    noise2 = 0.145 ** 2 - 2.3548 ** 2 * 0.115 * 0.00385 * 5.899
    middle = max(offset_kev + gain_kev * 0.5 * (channels - 1), 0.0)
    fwhm = math.sqrt(noise2 + 2.3548 ** 2 * 0.115 * 0.00385 * middle)
    return max(1, math.ceil(2.0 * fwhm / gain_kev))


failures, skipped, compared = [], [], 0
os.makedirs(WORK, exist_ok=True)
for name, source in SOURCES:
    if not os.path.exists(source):
        skipped.append(f"{name}: {source} is missing")
        continue
    counts, gain, offset, _ = load(source)
    msa, dat = os.path.join(WORK, name + ".msa"), os.path.join(WORK, name + ".dat")
    write_msa(msa, counts, gain, offset)
    cli("import", msa, "--out", dat)
    y = read_dat(dat)
    worst = 0.0
    for width, smooth, lls in VARIANTS:
        bg = os.path.join(WORK, f"{name}_bg.dat")
        args = ["background", dat, "--out", bg, "--json", "--smooth", str(smooth)]
        if width is not None:
            args += ["--width", str(width)]
        if not lls:
            args.append("--no-lls")
        result = json.loads(cli(*args))
        used = result["width"]
        if width is None and used != expected_width(gain, offset, len(y)):
            failures.append(f"{name}: width {used} from the resolution, expected {expected_width(gain, offset, len(y))}")
        ours = read_dat(bg)
        theirs = SpecfitFuns.snip1d(y.copy(), used, smooth, 1 if lls else 0)
        diff = np.abs(ours - theirs) - 1e-6 * np.maximum(1.0, np.abs(theirs))
        worst = max(worst, float(np.max(np.abs(ours - theirs))))
        if np.max(diff) > 0.5:
            c = int(np.argmax(diff))
            failures.append(f"{name} w={used} smooth={smooth} lls={lls}: channel {c} {ours[c]} vs PyMca {theirs[c]}")
        compared += 1
    print(f"{name}: {len(y)} channels, largest difference from PyMca {worst:.3f} counts over {len(VARIANTS)} settings")

for line in skipped:
    print("SKIPPED:", line)
if len(SOURCES) - len(skipped) < 3:
    print("fewer than three real spectra found: install python3-hyperspy and pymca-data")
    sys.exit(77)
if failures:
    for f in failures:
        print("FAIL:", f)
    sys.exit(f"{len(failures)} SNIP comparison(s) failed")
print(f"SNIP agrees with PyMca within the rounding to whole counts in {compared} comparisons")
