"""The Python module against the command line and an independent reader.

Run by ctest with PYTHONPATH at the built module and ORVALT_EXE, ORVALT_MAKE_XRDML,
ORVALT_TEST_DATA and ORVALT_SOURCE_DIR set.
"""
import filecmp
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import threading

import numpy
import pytest

import orvalt

EXE = os.environ["ORVALT_EXE"]
DATA = pathlib.Path(os.environ["ORVALT_TEST_DATA"]) / "xrdml"
SAMPLE = pathlib.Path(os.environ["ORVALT_SOURCE_DIR"]) / "examples" / "Na_Mg_mirror.xrdml"
REAL = sorted(p for p in DATA.iterdir() if p.name.endswith((".xrdml", ".xrdml.gz")))


def close(a, b, tolerance=1e-9):
    a, b = numpy.asarray(a, dtype=float), numpy.asarray(b, dtype=float)
    assert a.shape == b.shape
    assert (numpy.abs(a - b) <= tolerance * numpy.maximum(numpy.abs(a), numpy.abs(b))).all()


@pytest.mark.parametrize("path", REAL, ids=lambda p: p.name)
def test_every_scan_as_an_independent_reader_reads_it(path):
    xu = pytest.importorskip("xrayutilities")
    m = orvalt.read(path)
    theirs = xu.io.XRDMLFile(str(path)).scan
    times = numpy.atleast_1d(theirs.ddict["countTime"])
    rates = numpy.atleast_2d(theirs.ddict["detector"])
    assert len(m.scans) == len(times)
    for i, s in enumerate(m.scans):
        positions = numpy.atleast_2d(theirs.ddict[s.axis])
        close(s.x, positions[i] if positions.shape[0] == len(m.scans) else positions[0])
        close(s.counts, rates[i] * times[i])
        close(s.counts_per_second, s.counts / s.counting_time, 1e-15)
        assert s.x.flags.writeable and s.counts.dtype == numpy.float64


def test_what_a_scan_holds():
    m = orvalt.read(DATA / "insitu_48_listed_positions.xrdml")
    s = m.scans[0]
    assert (m.kalpha1, m.ratio, len(m.scans)) == (1.540598, 0.5, 48)
    assert s.temperature == 294.0 and s.time.isoformat() == "2017-01-10T13:54:33-05:00"
    assert s.positions["Omega"] == 19.1 and s.axis == "2Theta"
    assert orvalt.read(DATA / "om2th_counts_attenuated.xrdml").monochromator.startswith("Hybrid")
    assert orvalt.read(SAMPLE).monochromator is None and m.scans[0].end_time is not None
    assert "Reads every scan" in orvalt.read.__doc__


def run_cli(folder, arguments):
    return subprocess.run([EXE] + arguments, cwd=folder, capture_output=True, text=True)


def outputs(folder, keep):
    return {p.name: p.read_bytes() for p in pathlib.Path(folder).iterdir() if p.name != keep}


# The same options as keywords and as the command line's arguments.
CONVERSIONS = [
    ({}, []),
    ({"scan": 2, "counts": True, "units": "q", "format": "ascii"},
     ["--scan", "2", "--counts", "--units", "q", "--format", "ascii"]),
    ({"gudrun": True, "exclude": [1, 3]}, ["--gudrun", "--exclude", "1,3"]),
    ({"separate": True, "format": "cif"}, ["--separate", "--format", "cif"]),
    ({"separate": True, "format": "xye"}, ["--separate", "--format", "xye"]),
    ({"units": "d", "wavelength": "kalpha1", "format": "fxye"},
     ["--units", "d", "--wavelength", "kalpha1", "--format", "fxye"]),
    ({"plot": True, "output": "out.dat", "format": "ascii"},
     ["--plot", "-o", "out.dat", "--format", "ascii"]),
]


@pytest.mark.parametrize("source", [SAMPLE, DATA / "insitu_48_listed_positions.xrdml"],
                         ids=lambda p: p.name)
@pytest.mark.parametrize("keywords,arguments", CONVERSIONS, ids=lambda c: str(c))
def test_convert_writes_what_the_command_line_writes(tmp_path, source, keywords, arguments):
    name = source.name
    shutil.copy(source, tmp_path / name)
    cli = run_cli(tmp_path, ["-q"] + arguments + [name])
    expected = outputs(tmp_path, name)
    for f in expected:
        (tmp_path / f).unlink()
    cwd = os.getcwd()
    os.chdir(tmp_path)
    try:
        if cli.returncode == 0:
            orvalt.convert(name, quiet=True, **keywords)
        else:
            with pytest.raises(orvalt.Error):
                orvalt.convert(name, quiet=True, **keywords)
    finally:
        os.chdir(cwd)
    assert outputs(tmp_path, name) == expected and (expected or cli.returncode != 0)


# Hostile inputs: what the command line says of each is what orvalt.Error says.
BAD = {
    "empty.xrdml": b"",
    "text.xrdml": b"hello\nworld\n",
    "no_wavelength.xrdml": SAMPLE.read_bytes().replace(b"kAlpha1", b"kAlphaX"),
    "cut.xrdml": SAMPLE.read_bytes()[:30000],
    "nan.xrdml": SAMPLE.read_bytes().replace(b"<intensities unit=\"counts\">", b"<intensities unit=\"counts\">nan "),
    "broken.xrdml.gz": b"\x1f\x8b\x08\x00garbage",
    "Échantillon α.xrdml": b"<xrdMeasurement>\n",
}


@pytest.mark.parametrize("name", list(BAD), ids=list(BAD))
def test_bad_files_raise_the_command_lines_message(tmp_path, name):
    (tmp_path / name).write_bytes(BAD[name])
    cli = run_cli(tmp_path, ["--separate", "--counts", "-o", "s.write", name])
    lines = [l[len(name) + 2:] for l in cli.stderr.splitlines() if "WARNING" not in l]
    with pytest.raises(orvalt.Error) as read:
        orvalt.read(tmp_path / name)
    assert cli.returncode == 1 and str(read.value) == lines[0]
    assert isinstance(read.value.code, int)


def test_any_name_reads_and_converts(tmp_path):
    shutil.copy(SAMPLE, tmp_path / "new\nline.xrdml")
    with pytest.raises(orvalt.Error, match="control characters"):  # as the command line says
        orvalt.read(tmp_path / "new\nline.xrdml")
    for name in ("Größe α.xrdml", "-run7.xrdml", "two  blanks.xrdml"):
        shutil.copy(SAMPLE, tmp_path / name)
        assert len(orvalt.read(tmp_path / name).scans) == 4
        assert len(orvalt.read(os.fsencode(tmp_path / name)).scans) == 4
        orvalt.convert(tmp_path / name, quiet=True)
        assert (tmp_path / name.replace(".xrdml", ".write")).exists()


def test_refused_options_and_missing_files(tmp_path):
    with pytest.raises(orvalt.Error, match="no such file") as e:
        orvalt.read(tmp_path / "missing.xrdml")
    for call in (lambda: orvalt.sum(SAMPLE, units="x"), lambda: orvalt.scan(SAMPLE, 0),
                 lambda: orvalt.convert(SAMPLE, format="pdf")):
        with pytest.raises(orvalt.Error) as e:
            call()
        assert e.value.code == 2
    with pytest.raises(orvalt.Error, match="there is no scan 9"):
        orvalt.scan(SAMPLE, 9)
    with pytest.raises(orvalt.Error, match="All scans have been excluded"):
        orvalt.gudrun(SAMPLE, [1, 2, 3, 4])


def test_spectra_are_the_command_lines_ascii_files(tmp_path):
    shutil.copy(SAMPLE, tmp_path / "s.xrdml")
    for call, arguments in (
            (lambda p: orvalt.sum(p, units="q"), ["--units", "q"]),
            (lambda p: orvalt.scan(p, 3, counts=True, units="d"), ["--scan", "3", "--counts", "--units", "d"]),
            (lambda p: orvalt.gudrun(p, [2]), ["--gudrun", "--exclude", "2"])):
        assert run_cli(tmp_path, arguments + ["--format", "ascii", "-o", "a.dat", "s.xrdml"]).returncode == 0
        written = numpy.loadtxt(tmp_path / "a.dat", skiprows=3 if "--gudrun" not in arguments and "--scan" not in arguments else 0)
        s = call(tmp_path / "s.xrdml")
        close(numpy.column_stack([s.x, s.y, s.e]), written, 1e-14)
    assert list(orvalt.gudrun(SAMPLE, [2]).weights) == [1, 0, 1, 1]
    # What a scan makes on first use is what the command line makes.
    for path, n in ((SAMPLE, 3), (DATA / "om2th_counts_attenuated.xrdml", 1)):
        s, c = orvalt.read(path).scans[n - 1], orvalt.scan(path, n, counts=True)
        assert numpy.array_equal(s.x, c.x) and numpy.array_equal(s.errors, c.e)


def test_two_threads_read_as_one():
    paths = [DATA / "polefig_Ge113.xrdml", DATA / "area_76_scans.xrdml"]
    alone = [orvalt.read(p) for p in paths]
    together = [None, None]
    threads = [threading.Thread(target=lambda i=i: together.__setitem__(i, orvalt.read(paths[i])))
               for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(alone, together):
        for s, t in zip(a.scans, b.scans):
            assert numpy.array_equal(s.x, t.x) and numpy.array_equal(s.counts, t.counts)


def test_ctrl_c_interrupts_a_long_read(tmp_path):
    big = tmp_path / "big.xrdml"
    subprocess.run([os.environ["ORVALT_MAKE_XRDML"], "--scans", "200", "--points", "25000", str(big)],
                   check=True)
    script = ("import signal, orvalt, sys\n"
              "signal.setitimer(signal.ITIMER_REAL, 0.005)\n"
              "signal.signal(signal.SIGALRM, lambda *a: signal.raise_signal(signal.SIGINT))\n"
              "try:\n    orvalt.read(sys.argv[1])\nexcept KeyboardInterrupt:\n    sys.exit(42)\n")
    done = subprocess.run([sys.executable, "-c", script, str(big)], env=os.environ)
    assert done.returncode == 42
