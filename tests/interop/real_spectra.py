"""The real spectra of Debian's HyperSpy and PyMca packages, read as the
interop tests use them, and written as EMSA files for `tolvane-cli import`."""
import numpy as np

PYMCA = "/usr/share/pymca/"


def write_msa(path, counts, gain, offset):
    with open(path, "w") as f:
        f.write("#FORMAT      : EMSA/MAS Spectral Data File\n#VERSION     : 1.0\n#TITLE       : real\n")
        f.write(f"#NPOINTS     : {len(counts)}\n#NCOLUMNS    : 1\n#XUNITS      : keV\n#YUNITS      : counts\n")
        f.write(f"#DATATYPE    : Y\n#XPERCHAN    : {gain!r}\n#OFFSET      : {offset!r}\n#SPECTRUM    :\n")
        for c in counts:
            f.write(f"{int(round(float(c)))}\n")
        f.write("#ENDOFDATA   : \n")


def load(source):
    """Counts, keV per channel, offset and the file's element list."""
    if source.endswith(".spe"):
        words = open(source).read().split("$DATA:")[1].split()
        n = int(words[1]) - int(words[0]) + 1
        counts = np.array([float(x) for x in words[2:2 + n]])
        # The calibration PyMca's own configuration for this spectrum holds.
        cfg = dict(line.split(" = ", 1) for line in open(PYMCA + "Steel.cfg").read().splitlines() if " = " in line)
        return counts, float(cfg["gain"]), float(cfg["zero"]), None
    import hyperspy.api as hs
    s = hs.load(source)
    if isinstance(s, list):
        s = s[0]
    axis = s.axes_manager.signal_axes[0]
    scale = 1e-3 if axis.units == "eV" else 1.0
    listed = s.metadata.get_item("Sample.elements")
    return np.asarray(s.data, float), axis.scale * scale, axis.offset * scale, listed
