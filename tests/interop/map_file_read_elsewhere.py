"""A mapped scan's NeXus/HDF5 file read by h5py, HyperSpy and PyMca, with
counts equal to the pass files pixel by pixel, the energy scale and the
live times; and a scan killed with SIGKILL halfway leaves a file that
opens with every pass saved before the kill.

Usage: map_file_read_elsewhere.py TOLVANE_CLI WORK_DIR
"""
import glob
import os
import shutil
import signal
import struct
import subprocess
import sys
import time

import numpy as np

os.environ.setdefault("MPLBACKEND", "Agg")
import h5py  # noqa: E402
import hyperspy.api as hs  # noqa: E402
from PyMca5.PyMcaIO import HDF5Stack1D  # noqa: E402

CLI, WORK = sys.argv[1], sys.argv[2]
WIDTH, HEIGHT, CHANNELS = 16, 12, 1024
GAIN_KEV, OFFSET_KEV = 0.04, -0.02
# The program keeps a calibration in single precision; the file holds those
# values exactly, widened to double.
GAIN32, OFFSET32 = float(np.float32(GAIN_KEV)), float(np.float32(OFFSET_KEV))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def read_dat(path):
    data = open(path, "rb").read()
    channels = struct.unpack_from("<h", data, 54)[0]
    live = struct.unpack_from("<i", data, 712)[0] / 10.0
    return np.frombuffer(data, "<u4", channels, 1024).astype(np.int64), live


def pass_files(stem):
    return sorted(glob.glob(stem + "_[0-9][0-9][0-9][0-9].dat"))


def roi(keV, label, index):
    low, high = int((keV - 0.15) / GAIN_KEV), int((keV + 0.15) / GAIN_KEV)
    return f"{index}:{low}:{high}:{label}"


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
nxs = os.path.join(WORK, "phantom.nxs")
stem = os.path.join(WORK, "pass")
done = subprocess.run([CLI, "scan", "--device=sim", "--fast", "--phantom", "--memory", str(CHANNELS),
                       "--dwell", "0.1", "--map", f"{WIDTH}x{HEIGHT}", "--image", nxs, "--save", stem + ".dat",
                       "--gain", str(GAIN_KEV), "--offset", str(OFFSET_KEV),
                       "--roi", roi(3.692, "Ca", 1), "--roi", roi(4.511, "Ti", 2)],
                      capture_output=True, text=True)
if done.returncode != 0:
    sys.exit("scan failed: " + done.stderr)
files = pass_files(stem)
check(len(files) == WIDTH * HEIGHT, f"{len(files)} pass files")
passes = [read_dat(f) for f in files]
expected = np.array([p[0] for p in passes]).reshape(HEIGHT, WIDTH, CHANNELS)
lives = np.array([p[1] for p in passes]).reshape(HEIGHT, WIDTH)

# h5py: the raw layout.
with h5py.File(nxs, "r") as f:
    counts = f["/entry/data/counts"]
    check(counts.dtype == np.uint32 and counts.shape == (HEIGHT, WIDTH, CHANNELS), f"h5py counts {counts.shape}")
    check(counts.chunks == (1, 1, CHANNELS), f"chunks {counts.chunks}")
    check(np.array_equal(counts[()].astype(np.int64), expected), "h5py counts equal the pass files")
    for name in ("NX_class", "signal", "interpretation"):
        check(f["/entry/data"].attrs.get_id(name).dtype.kind == "S", f"{name} is a fixed-length string")
    live = f["/entry/data/live_time"][()]
    check(np.all(np.abs(live - lives) < 0.1), "h5py live times agree with the pass files' tenths")
    check(int(f["/entry/scan/recorded"][()].sum()) == WIDTH * HEIGHT, "every pixel recorded")

# HyperSpy: the default NXdata as an EDS SEM spectrum image.
s = hs.load(nxs, use_default=True)
check(type(s).__name__ == "EDSSEMSpectrum", f"HyperSpy signal {type(s).__name__}")
check(np.array_equal(np.asarray(s.data).astype(np.int64), expected), "HyperSpy counts equal the pass files")
axis = s.axes_manager.signal_axes[0]
check(abs(axis.scale - GAIN32) < 1e-12 and abs(axis.offset - OFFSET32) < 1e-12,
      f"HyperSpy energy axis {axis.scale} {axis.offset}")
check(axis.units == "keV", f"HyperSpy energy unit {axis.units}")
check(s.axes_manager.navigation_shape == (WIDTH, HEIGHT), f"HyperSpy navigation {s.axes_manager.navigation_shape}")
eds_live = s.metadata.Acquisition_instrument.SEM.Detector.EDS.live_time
check(abs(eds_live - live.mean()) < 1e-9, f"HyperSpy live time {eds_live} vs {live.mean()}")

# PyMca: the stack, its calibration and live times.
stack = HDF5Stack1D.HDF5Stack1D([nxs], {"y": "/data/counts"}, scanlist=["/entry"])
check(np.array_equal(np.asarray(stack.data).astype(np.int64), expected), "PyMca counts equal the pass files")
calib = list(stack.info["McaCalib"])
check(calib == [OFFSET32, GAIN32, 0.0], f"PyMca McaCalib {calib}")
check(np.allclose(np.ravel(stack.info["McaLiveTime"]), live.ravel(), rtol=0, atol=1e-12), "PyMca live times")

# Killed halfway: the file opens and holds every pass whose file was saved.
killed = os.path.join(WORK, "killed.nxs")
kstem = os.path.join(WORK, "killed")
scan = subprocess.Popen([CLI, "scan", "--device=sim", "--phantom", "--memory", str(CHANNELS), "--dwell", "0.1",
                         "--map", "10x10", "--image", killed, "--save", kstem + ".dat"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
deadline = time.time() + 60
while len(pass_files(kstem)) < 40 and time.time() < deadline and scan.poll() is None:
    time.sleep(0.05)
scan.send_signal(signal.SIGKILL)
scan.wait()
saved = pass_files(kstem)
check(20 <= len(saved) < 100, f"killed after {len(saved)} passes")
with h5py.File(killed, "r") as f:
    recorded = f["/entry/scan/recorded"][()].ravel()
    counts = f["/entry/data/counts"][()].reshape(100, CHANNELS)
    n = int(recorded.sum())
    # The map takes each pass right after its file: at most the pass being
    # written at the kill is in the folder and not yet in the map.
    check(n >= len(saved) - 1 and n <= len(saved) + 1, f"{n} passes in the map, {len(saved)} pass files")
    check(np.all(recorded[:n] == 1) and np.all(recorded[n:] == 0), "recorded pixels are the first passes")
    for i in range(min(n, len(saved))):
        check(np.array_equal(counts[i].astype(np.int64), read_dat(saved[i])[0]), f"killed pass {i + 1}")
check(hs.load(killed, use_default=True).data.shape == (10, 10, CHANNELS), "HyperSpy opens the killed scan's map")
out = subprocess.run([CLI, "map", killed, "--roi", "1:88:96:Ca", "--json"], capture_output=True, text=True)
check(out.returncode == 0 and f'"recorded": {n}' in out.stdout, "tolvane-cli map reads the killed scan's map: " +
      out.stdout + out.stderr)

if failures:
    sys.exit(f"{len(failures)} check(s) failed")
print("map file read by h5py, HyperSpy and PyMca; killed scan's map opens")
