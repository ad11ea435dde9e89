#!/usr/bin/python3
"""scikit-rf as a client of the command line: it reads the Touchstone files
the program writes (circuits of modelled chip parts, under a comma locale),
and the program reads a measured part's file that scikit-rf wrote.

usage: scikit_rf_test.py RFSPLITTER_CLI"""
import contextlib
import io
import json
import os
import subprocess
import sys
import tempfile
import warnings

import numpy as np

# The library says so when it finds no plotting package; nothing here plots.
with warnings.catch_warnings(), contextlib.redirect_stdout(io.StringIO()):
    warnings.simplefilter("ignore")
    import skrf

CLI = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(args, directory):
    env = dict(os.environ, LC_ALL="de_DE.UTF-8")
    done = subprocess.run([CLI, *args, "--directory", directory], env=env,
                          capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)} failed:\n{done.stderr}")
    with open(os.path.join(directory, "run.json"), encoding="utf-8") as f:
        return json.load(f)


with tempfile.TemporaryDirectory() as work:
    # The exports of circuits built from 0402 parts on pads, at 2.45 GHz.
    # Every family too: four ways (.s5p), an unequal split, sections, the ring.
    forms = [(["--topology", t], ports) for t, ports in
             (("narrow-splitter", 3), ("narrow-quad", 4), ("wide-quad", 4))]
    forms += [(["--topology", "splitter", "--ways", "4"], 5),
              (["--topology", "splitter", "--ways", "3", "--arms", "high-pass"], 4),
              (["--topology", "splitter", "--split", "-6", "--arms", "high-pass"], 3),
              (["--topology", "splitter", "--sections", "3"], 3),
              (["--topology", "quad", "--sections", "3", "--arms", "high-pass"], 4),
              (["--topology", "ring"], 4)]
    for index, (form, ports) in enumerate(forms):
        folder = os.path.join(work, str(index))
        os.mkdir(folder)
        result = run([*form, "--frequency", "2450", "--part-model", "0402",
                      "--pad-capacitance", "0.1p", "--touchstone", "--json", "run.json"], folder)
        [name] = [f for f in os.listdir(folder) if f.endswith(f".s{ports}p")]
        network = skrf.Network(os.path.join(folder, name))
        s = network.s
        check(network.nports == ports, f"{name}: {network.nports} ports")
        check(len(network.f) == 200, f"{name}: {len(network.f)} points")
        check(abs(network.f[0] / 245e6 - 1) < 1e-12 and abs(network.f[-1] / 4655e6 - 1) < 1e-12,
              f"{name}: {network.f[0]} to {network.f[-1]} Hz")
        check(np.allclose(network.z0, 50), f"{name}: z0 {network.z0[0]}")
        check(np.abs(s - s.transpose(0, 2, 1)).max() < 1e-12, f"{name}: not reciprocal")
        check(np.linalg.svd(s, compute_uv=False).max() <= 1 + 1e-9, f"{name}: not passive")
        # The JSON's S21 at f0, between two of the sweep's points.
        s21_db = np.interp(2450e6, network.f, 20 * np.log10(np.abs(s[:, 1, 0])))
        expected = result["built"]["response"]["s21_db"]
        check(abs(s21_db - expected) < 0.02, f"{name}: S21 {s21_db} dB, the JSON {expected} dB")

    # A series 8.2 nH part with 0.5 ohm, as a vendor's tool writes it.
    frequency = skrf.Frequency(100, 3000, 30, "MHz")
    z = 0.5 + 2j * np.pi * frequency.f * 8.2e-9
    s = np.zeros((len(z), 2, 2), complex)
    s[:, 0, 0] = s[:, 1, 1] = z / (100 + z)
    s[:, 1, 0] = s[:, 0, 1] = 100 / (100 + z)
    os.mkdir(os.path.join(work, "lib"))
    skrf.Network(frequency=frequency, s=s, z0=50).write_touchstone(
        os.path.join(work, "lib", "coil"))
    with open(os.path.join(work, "lib", "coils.txt"), "w", encoding="utf-8") as f:
        f.write("8.2n s2p=coil.s2p\n")
    result = run(["--topology", "narrow-quad", "--frequency", "1500", "--inductors",
                  os.path.join(work, "lib", "coils.txt"), "--json", "run.json"], work)
    for part in result["built"]["parts"]:
        if part["kind"] != "inductor":
            continue
        check(part["model"] == {"s2p": os.path.join(work, "lib", "coil.s2p")},
              f"{part['name']}: model {part['model']}")
        check(abs(part["effective"] / 8.2e-9 - 1) < 1e-12,
              f"{part['name']}: acts as {part['effective']} H")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
