"""Our EMSA and SPEC exports read by independent readers (HyperSpy's EMSA
reader, PyMca's SPEC reader), and an EMSA file HyperSpy writes read by us.

Usage: exports_read_elsewhere.py TOLVANE_CLI WORK_DIR
"""
import os
import struct
import subprocess
import sys

import numpy as np

os.environ.setdefault("MPLBACKEND", "Agg")
import hyperspy.api as hs  # noqa: E402
from PyMca5.PyMcaIO import specfilewrapper  # noqa: E402

CLI, WORK = sys.argv[1], sys.argv[2]
GAIN_KEV, OFFSET_KEV = np.float32(0.0100231), np.float32(-0.0473)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def cli(*args):
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"tolvane-cli {' '.join(args)} failed: {done.stderr}")
    return done.stdout


def read_dat(path):
    """Counts, gain, offset (None without calibration) and live time in s."""
    data = open(path, "rb").read()
    channels = struct.unpack_from("<h", data, 54)[0]
    marker, gain, offset = struct.unpack_from("<fff", data, 64)
    live = struct.unpack_from("<i", data, 712)[0] / 10.0
    counts = np.frombuffer(data, "<u4", channels, 1024).astype(np.int64)
    return counts, (None if marker == 1.0 else (gain, offset)), live


os.makedirs(WORK, exist_ok=True)
dat = os.path.join(WORK, "acquired.dat")
cli("acquire", "--device=sim", "--preset", "30", "--fast", "--out", dat)
# Give the spectrum an energy scale in keV, as the window's calibration would.
image = bytearray(open(dat, "rb").read())
struct.pack_into("<fff", image, 64, 0.0, GAIN_KEV, OFFSET_KEV)
open(dat, "wb").write(image)
counts, (gain, offset), live = read_dat(dat)
check(live > 0 and counts.sum() > 0, "the acquired spectrum has counts and a live time")

# EMSA, both data forms, read by HyperSpy.
for form in ([], ["--xy"]):
    msa = os.path.join(WORK, "export%s.msa" % ("_xy" if form else ""))
    cli("export", dat, "--format", "msa", "--out", msa, *form)
    s = hs.load(msa)
    axis = s.axes_manager[0]
    check(np.array_equal(s.data.astype(np.int64), counts), f"HyperSpy counts {form}")
    check(abs(axis.scale - gain) < 1e-9 and abs(axis.offset - offset) < 1e-9,
          f"HyperSpy energy scale {axis.scale} {axis.offset} {form}")
    check(axis.units == "keV", f"HyperSpy energy unit {axis.units}")
    detector = s.metadata.Acquisition_instrument.TEM.Detector.EDS
    check(abs(detector.live_time - live) < 1e-9, f"HyperSpy live time {detector.live_time} {form}")

# SPEC, read by PyMca.
spec = os.path.join(WORK, "export.spec")
cli("export", dat, "--format", "spec", "--out", spec)
sf = specfilewrapper.Specfile(spec)
scan = sf[0]
check(scan.nbmca() == 1, f"PyMca finds one MCA ({scan.nbmca()})")
mca = np.asarray(scan.mca(1), dtype=np.int64)
check(np.array_equal(mca, counts), "PyMca counts")
header = "\n".join(scan.header("@"))
calib = [float(v) for v in next(l for l in scan.header("@") if l.startswith("#@CALIB")).split()[1:]]
check(abs(calib[0] - offset) < 1e-9 and abs(calib[1] - gain) < 1e-9, f"PyMca energy scale {calib}")
ctime = [float(v) for v in next(l for l in scan.header("@") if l.startswith("#@CTIME")).split()[1:]]
check(abs(ctime[1] - live) < 1e-9, f"PyMca live time {ctime}")

# An EMSA file HyperSpy writes, read by our import.
written = hs.signals.Signal1D(np.arange(700, dtype=np.float64) % 97)
written.set_signal_type("EDS_TEM")
written.axes_manager[0].scale = 0.02
written.axes_manager[0].offset = -0.1
written.axes_manager[0].units = "keV"
written.metadata.set_item("Acquisition_instrument.TEM.Detector.EDS.live_time", 42.5)
from_hs = os.path.join(WORK, "hyperspy.msa")
written.save(from_hs, overwrite=True)
imported = os.path.join(WORK, "from_hyperspy.dat")
out = cli("import", from_hs, "--out", imported)
check("Padded 700 -> 1024 ch" in out, f"import notes the padding: {out!r}")
icounts, calibration, ilive = read_dat(imported)
check(len(icounts) == 1024 and np.array_equal(icounts[:700], np.arange(700) % 97) and not icounts[700:].any(),
      "counts of HyperSpy's file")
check(calibration is not None and abs(calibration[0] - 0.02) < 1e-7 and abs(calibration[1] + 0.1) < 1e-7,
      f"energy scale of HyperSpy's file {calibration}")
check(ilive == 42.5, f"live time of HyperSpy's file {ilive}")

if failures:
    sys.exit(f"{len(failures)} interoperability check(s) failed")
print("interop: HyperSpy and PyMca agree with our exports; HyperSpy's EMSA file imports")
