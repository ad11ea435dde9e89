#!/usr/bin/python3
"""The measured board, with scikit-rf as the analyser's software: boards
with a part off, solved here by nodal analysis and written by scikit-rf
(behind a fixture of line at each port, at 50 and at 75 ohms), read back by
the command line under a comma locale, which must name the part that is off
and a repair that a solve here confirms; the board assembled from two-port
files; the measurements the program must refuse.

usage: diagnose_test.py RFSPLITTER_CLI"""
import contextlib
import io
import json
import os
import subprocess
import sys
import tempfile
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from boards import CIRCUITS, measure, solve  # noqa: E402

with warnings.catch_warnings(), contextlib.redirect_stdout(io.StringIO()):
    warnings.simplefilter("ignore")
    import skrf

CLI = sys.argv[1]
F0 = 915e6
failures = []

def check(ok, what):
    if not ok:
        failures.append(what)


def cli(args, directory):
    env = dict(os.environ, LC_ALL="de_DE.UTF-8")
    return subprocess.run([CLI, *args, "--directory", directory], env=env,
                          capture_output=True, text=True)


def design_values(topology, directory):
    done = cli(["--topology", topology, "--frequency", "915", "--json", "d.json"], directory)
    with open(os.path.join(directory, "d.json"), encoding="utf-8") as f:
        return {p["name"]: p["value"] for p in json.load(f)["ideal"]["parts"]}


rng = np.random.default_rng(7)
frequencies = np.linspace(600e6, 1230e6, 301)
with tempfile.TemporaryDirectory() as work:
    cases = [("narrow-splitter", "L2", 1.15, [20, 30, 35], 50.0, "db"),
             ("narrow-quad", "C2", 0.86, [12, 25, 38, 18], 75.0, "ri"),
             ("wide-quad", "L6", 1.1, [15, 22, 15, 30], 50.0, "ma")]
    for topology, part, factor, delays, reference, form in cases:
        ports = CIRCUITS[topology][0]
        values = design_values(topology, work)
        board = dict(values)
        board[part] *= factor
        s = measure(solve(topology, board, frequencies), frequencies, delays, rng)
        if reference != 50:
            # Referred to another impedance, as the analyser may be set:
            # Z = z0 (1 - S)^-1 (1 + S), S' = (Z - R)(Z + R)^-1.
            one = np.eye(ports)
            z = 50 * np.linalg.solve(one - s, one + s)
            s = np.linalg.solve((z + reference * one).transpose(0, 2, 1),
                                (z - reference * one).transpose(0, 2, 1)).transpose(0, 2, 1)
        network = skrf.Network(frequency=skrf.Frequency.from_f(frequencies, unit="hz"), s=s,
                               z0=reference)
        name = os.path.join(work, f"{topology}.s{ports}p")
        network.write_touchstone(name, form=form)
        done = cli(["--topology", topology, "--frequency", "915", "--measured", name, "--diagnose",
                    "--plot", "p.svg", "--json", "run.json"], work)
        check(done.returncode == 0, f"{topology}: exit {done.returncode}: {done.stderr}")
        if done.returncode != 0:
            continue
        with open(os.path.join(work, "run.json"), encoding="utf-8") as f:
            run = json.load(f)
        first = run["diagnosis"]["suspects"][0]
        check(first["part"] == part, f"{topology}: {first['part']} named first, not {part}")
        check(abs(first["change_percent"] - 100 * (factor - 1)) < 2,
              f"{topology}: {part} changed {first['change_percent']} %")
        check(np.allclose(run["diagnosis"]["port_delays_ps"], delays, atol=2),
              f"{topology}: planes {run['diagnosis']['port_delays_ps']} ps, not {delays}")
        check("Most likely off: " + part in done.stdout, f"{topology}: report {done.stdout}")
        # The measured column: the board's own planes, the match a solve of
        # the faulty board gives.
        own = solve(topology, board, [F0])[0]
        check(abs(run["measured"]["at_f0"]["s11_db"] - 20 * np.log10(abs(own[0, 0]))) < 0.5,
              f"{topology}: measured S11 {run['measured']['at_f0']['s11_db']} dB")
        # The repair, solved here: the part's fitted deviation stays with it.
        if run["repair_outcome"] == "found":
            repaired = dict(board)
            for step in run["repair"]:
                repaired[step["part"]] = board[step["part"]] * step["to"] / step["from"]
            s = solve(topology, repaired, [F0])[0]
            match = 20 * np.log10(abs(s[0, 0]))
            check(match <= -15, f"{topology}: repaired board's match {match} dB")
        else:
            check(False, f"{topology}: no repair found: {run['repair_outcome']}")
        with open(os.path.join(work, "p.svg"), encoding="utf-8") as f:
            check("measured (dotted)" in f.read(), f"{topology}: the plot has no measured curves")

    # The splitter measured with a two-port analyser, port 3 (then 2) loaded;
    # the isolation S32 never measured.
    values = design_values("narrow-splitter", work)
    board = dict(values, L1=values["L1"] * 0.88)
    s = measure(solve("narrow-splitter", board, frequencies), frequencies, [0, 0, 0], rng)
    pairs = []
    for a, b in ((1, 2), (1, 3)):
        two = skrf.Network(frequency=skrf.Frequency.from_f(frequencies, unit="hz"),
                           s=s[:, [a - 1, b - 1]][:, :, [a - 1, b - 1]], z0=50)
        name = os.path.join(work, f"p{a}{b}.s2p")
        two.write_touchstone(name)
        pairs += ["--measured-pair", f"{a},{b}={name}"]
    done = cli(["--topology", "narrow-splitter", "--frequency", "915", *pairs, "--port-delay", "0",
                "--diagnose", "--json", "pairs.json"], work)
    check(done.returncode == 0, f"pairs: exit {done.returncode}: {done.stderr}")
    if done.returncode == 0:
        with open(os.path.join(work, "pairs.json"), encoding="utf-8") as f:
            run = json.load(f)
        check(run["measured"]["not_measured"] == ["s23", "s32"],
              f"pairs: not measured {run['measured']['not_measured']}")
        check(run["measured"]["at_f0"]["s32_db"] is None, "pairs: S32 shown though not measured")
        check(run["diagnosis"]["suspects"][0]["part"] == "L1",
              f"pairs: {run['diagnosis']['suspects'][0]['part']} named first")

    # A board that is not the design's circuit: the fit says how much of it
    # it cannot explain.
    done = cli(["--topology", "narrow-quad", "--frequency", "915", "--measured",
                os.path.join(work, "wide-quad.s4p"), "--diagnose"], work)
    check(done.returncode == 0 and "dB of the measurement unexplained" in done.stderr,
          f"a foreign board: exit {done.returncode}, {done.stderr!r}")

    # What must be refused, with the reason.
    refusals = [
        (os.path.join(work, "p12.s2p"), "has 3 ports"),
        ("far.s3p", "misses the design frequency"),
        ("gain.s3p", "not a passive board"),
    ]
    far = skrf.Network(frequency=skrf.Frequency.from_f(frequencies * 3, unit="hz"), s=s, z0=50)
    far.write_touchstone(os.path.join(work, "far.s3p"))
    gain = skrf.Network(frequency=skrf.Frequency.from_f(frequencies, unit="hz"), s=s * 1.5, z0=50)
    gain.write_touchstone(os.path.join(work, "gain.s3p"))
    for name, reason in refusals:
        done = cli(["--topology", "narrow-splitter", "--frequency", "915", "--measured",
                    os.path.join(work, name), "--diagnose"], work)
        check(done.returncode == 2 and reason in done.stderr,
              f"{name}: exit {done.returncode}, {done.stderr!r}")

if failures:
    sys.exit("\n".join(failures))
print("ok")
