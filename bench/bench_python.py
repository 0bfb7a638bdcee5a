#!/usr/bin/python3
"""Times orvalt.read() on the benchmark file (200 scans x 25,000 points, made by
make_xrdml with its defaults) against xrayutilities' reading of the same file and
against the command line's own reading of it, the census and the intensities
(bench_reader's two readings, the median of its runs), and tells the memory it
takes against the size of the arrays it returns.

usage: bench_python.py MAKE_XRDML BENCH_READER [--runs N]
Run with PYTHONPATH at the built module, under Debian's python3.
"""
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def median_time(call, runs):
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        call()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def rss_mib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") / 2**20


MEMORY = """
import os, resource, sys
import numpy, orvalt
def rss():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
with open('/proc/self/statm') as f:
    before = int(f.read().split()[1]) * os.sysconf('SC_PAGE_SIZE') / 2**20
m = orvalt.read(sys.argv[1])
read = rss() - before
counts = sum(s.counts.nbytes for s in m.scans) / 2**20
arrays = sum(a.nbytes for s in m.scans for a in (s.x, s.counts, s.counts_per_second, s.errors))
print(read, counts, rss() - before, arrays / 2**20)
"""


def main(argv):
    runs = 11
    if "--runs" in argv:
        runs = int(argv[argv.index("--runs") + 1])
    make_xrdml, bench_reader = argv[1], argv[2]
    import orvalt
    with tempfile.TemporaryDirectory(prefix="orvalt_bench_python_") as folder:
        path = os.path.join(folder, "bench.xrdml")
        subprocess.run([make_xrdml, path], check=True)
        reader = subprocess.run([bench_reader, "--runs", "15"], check=True, capture_output=True,
                                text=True).stdout
        floor = float(re.search(r"both readings\s+\S+ s\s+\S+ MB/s\s+(\S+) s", reader).group(1))
        ours = median_time(lambda: orvalt.read(path), runs)
        read_mib, counts_mib, used, arrays = (float(v) for v in subprocess.run(
            [sys.executable, "-c", MEMORY, path], check=True, capture_output=True,
            text=True).stdout.split())
        try:
            import xrayutilities
            theirs = median_time(lambda: xrayutilities.io.XRDMLFile(path).scan, 3)
        except ImportError:
            theirs = None
    print(f"orvalt.read of 200 scans x 25,000 points, medians of {runs} runs:")
    print(f"  orvalt.read                     {ours:8.4f} s")
    print(f"  the command line's reading      {floor:8.4f} s   orvalt.read takes {ours / floor:.2f} x")
    if theirs is not None:
        print(f"  xrayutilities.io.XRDMLFile      {theirs:8.4f} s   orvalt.read is {theirs / ours:.0f} x faster")
    else:
        print("  xrayutilities is not installed: not compared")
    print(f"  memory of the reading: {read_mib:.1f} MiB for {counts_mib:.1f} MiB of counts "
          f"({read_mib / counts_mib:.2f} x); with x, errors and counts per second made: "
          f"{used:.1f} MiB for {arrays:.1f} MiB of arrays ({used / arrays:.2f} x)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
