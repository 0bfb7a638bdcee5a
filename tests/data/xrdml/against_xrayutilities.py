#!/usr/bin/python3
"""Every scan of every real measurement as ORVALT reads it, held against
python3-xrayutilities, an independent reader.

usage: against_xrayutilities.py ORVALT G2DUMP FOLDER

Each file of FOLDER (*.xrdml and *.xrdml.gz) is converted with
`orvalt --separate --counts` into a Genie file, whose entries g2dump prints
as columns; each scan's x and y must equal xrayutilities' positions of the
axis it moves and its counts (its `detector` rate, counts x attenuation
factors per second where the file has factors, times the counting time) to
1e-9 relative. Exit status 77 (skipped) when xrayutilities is not installed.
"""
import glob
import os
import subprocess
import sys
import tempfile

try:
    import numpy
    import xrayutilities
except ImportError:
    print("xrayutilities is not installed: nothing compared")
    sys.exit(77)

TOLERANCE = 1e-9
AXIS = {"2-theta": "2Theta"}  # the other axes are named as the file names them


def orvalt_scans(orvalt, g2dump, path, folder):
    """[(axis, x, y)] of each scan, as ORVALT writes it."""
    out = os.path.join(folder, "scans.write")
    subprocess.run([orvalt, "-q", "--separate", "--counts", "-o", out, path], check=True)
    text = subprocess.run([g2dump, "--columns", out], check=True, capture_output=True,
                          text=True).stdout
    scans = []
    for line in text.splitlines():
        if line.startswith("# title"):
            scans.append([None, [], []])
        elif line.startswith("# x: "):
            scans[-1][0] = line[5:]
        elif line and not line.startswith("#"):
            x, y, _ = (float(v) for v in line.split())
            scans[-1][1].append(x)
            scans[-1][2].append(y)
    return scans


def differs(a, b):
    a, b = numpy.asarray(a, dtype=float), numpy.asarray(b, dtype=float)
    if a.shape != b.shape:
        return f"{a.shape} against {b.shape} points"
    scale = numpy.maximum(numpy.abs(a), numpy.abs(b))
    bad = numpy.abs(a - b) > TOLERANCE * scale
    if bad.any():
        k = int(numpy.argmax(bad))
        return f"point {k + 1}: {a[k]!r} against {b[k]!r}"
    return ""


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    orvalt, g2dump, data = argv[1:]
    paths = sorted(glob.glob(os.path.join(data, "*.xrdml")) +
                   glob.glob(os.path.join(data, "*.xrdml.gz")))
    failures, scans_compared = 0, 0
    for path in paths:
        name = os.path.basename(path)
        with tempfile.TemporaryDirectory(prefix="orvalt_xrayutilities_") as folder:
            ours = orvalt_scans(orvalt, g2dump, path, folder)
        m = xrayutilities.io.XRDMLFile(path).scan
        times = numpy.atleast_1d(m.ddict["countTime"])
        rates = numpy.atleast_2d(m.ddict["detector"])
        if len(ours) != len(times):
            print(f"{name}: {len(ours)} scans, xrayutilities {len(times)}")
            failures += 1
            continue
        for i, (label, x, y) in enumerate(ours):
            axis = AXIS.get(label, label)
            positions = numpy.atleast_2d(m.ddict[axis])
            their_x = positions[i] if positions.shape[0] == len(ours) else positions[0]
            their_y = rates[i] * times[i]
            for what, a, b in (("x", x, their_x), ("y", y, their_y)):
                why = differs(a, b)
                if why:
                    print(f"{name}: scan {i + 1}, {what} ({axis}): {why}")
                    failures += 1
            scans_compared += 1
    print(f"{len(paths)} files, {scans_compared} scans compared, {failures} differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
