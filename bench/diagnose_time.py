#!/usr/bin/python3
"""The whole-process time of a diagnosis: the wide hybrid at 915 MHz from
E12/E24 values, L3 20 % high, behind 10-40 ps of line at each port,
401 points with -50 dB of noise, written by scikit-rf; `rfsplitter-cli
--measured ... --diagnose` run RUNS times, and beside it the same run
without the diagnosis. Prints the medians.

usage: diagnose_time.py RFSPLITTER_CLI [RUNS]"""
import contextlib
import io
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli", "tests"))
from boards import measure, solve  # noqa: E402

with warnings.catch_warnings(), contextlib.redirect_stdout(io.StringIO()):
    warnings.simplefilter("ignore")
    import skrf

CLI = sys.argv[1]
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 11
DESIGN = ["--topology", "wide-quad", "--frequency", "915", "--inductors", "E12",
          "--capacitors", "E24", "--resistors", "E24"]

with tempfile.TemporaryDirectory() as work:
    subprocess.run([CLI, *DESIGN, "--json", "d.json", "--directory", work], check=True,
                   capture_output=True)
    with open(os.path.join(work, "d.json"), encoding="utf-8") as f:
        built = {p["name"]: p["value"] for p in json.load(f)["built"]["parts"]}
    board = dict(built, L3=built["L3"] * 1.2)
    frequencies = np.linspace(0.6 * 915e6, 1.4 * 915e6, 401)
    s = measure(solve("wide-quad", board, frequencies), frequencies, [10, 25, 40, 18],
                np.random.default_rng(1))
    name = os.path.join(work, "board.s4p")
    skrf.Network(frequency=skrf.Frequency.from_f(frequencies, unit="hz"), s=s,
                 z0=50).write_touchstone(name)

    def timed(extra):
        start = time.perf_counter()
        done = subprocess.run([CLI, *DESIGN, "--measured", name, *extra, "--directory", work],
                              capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(done.stderr)
        return time.perf_counter() - start, done.stdout

    with_fit, without = [], []
    for _ in range(RUNS):
        t, out = timed(["--diagnose"])
        with_fit.append(t)
        without.append(timed([])[0])
    first = [line for line in out.splitlines() if line.startswith("  Most likely off")]
    print(f"diagnosis, 4 ports, 401 points: median {statistics.median(with_fit):.3f} s "
          f"(without --diagnose {statistics.median(without):.3f} s) over {RUNS} runs each")
    print(first[0].strip() if first else "no suspect named")
