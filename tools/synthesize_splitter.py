#!/usr/bin/python3
"""The multi-section lumped two-way splitter's normalised values.

Each section of each branch is a quarter-wave arm of impedance Z_k lumped as
a low-pass pi (series L = Z_k / w0, shunt C = 1 / (Z_k w0)), with a resistor
R_k across the branches after it. A lumped circuit's response depends on
f / f0 and the values over Z0 alone, so one table serves every design. For
each section count this finds the Z_k / Z0 and R_k / Z0 whose usable band
(every port's match and the isolation at -20 dB) about f0 is widest: for a
band it minimises the worst of those over the band (differential evolution,
then Nelder-Mead), and widens the band while the worst stays under -20 dB.
The equal-ripple answer of the distributed design (Cohn, 1968) is its
starting point's spirit, not its values: lumped arms disperse.

Four sections are not in the table: no search here (this one from 0.2 to
0.52 of f0, differential evolution over Z_k in 0.3 to 6 and R_k in 0.05 to
200 at 35 %, Nelder-Mead from random starts) holds -20 dB over more than 27 %
of f0, less than two sections reach, and the best answers short the branches
together at a junction. A likely reason: every low-pass pi's image impedance
drifts alike, Z_k / sqrt(2 - (f / f0)^2), as if both terminations moved; an
odd count of quarter waves puts the two ends' reflections out of phase, an
even count in phase.

  /usr/bin/python3 tools/synthesize_splitter.py   # checks the table, searches anew
"""
import numpy as np
from scipy.optimize import differential_evolution, minimize


def s_parameters(z, r, f):
    """S of the 3-port at the normalised frequencies f (Z0 = 1, w0 = 1)."""
    n = len(z)
    nodes = 1 + 2 * n  # node 0 the input, then a_1..a_n, b_1..b_n
    a = lambda k: 1 + k
    b = lambda k: 1 + n + k
    w = np.asarray(f, dtype=float)
    y = np.zeros((len(w), nodes, nodes), dtype=complex)

    def branch(i, j, adm):
        y[:, i, i] += adm
        y[:, j, j] += adm
        y[:, i, j] -= adm
        y[:, j, i] -= adm

    def shunt(i, adm):
        y[:, i, i] += adm

    for side in (a, b):
        prev = 0
        for k in range(n):
            node = side(k)
            branch(prev, node, 1 / (1j * w * z[k]))
            shunt(prev, 1j * w / z[k])
            shunt(node, 1j * w / z[k])
            prev = node
    for k in range(n):
        branch(a(k), b(k), np.full(len(w), 1 / r[k], dtype=complex))
    ports = [0, a(n - 1), b(n - 1)]
    for p in ports:
        y[:, p, p] += 1
    rhs = np.zeros((len(w), nodes, 3), dtype=complex)
    for c, p in enumerate(ports):
        rhs[:, p, c] = 1
    v = np.linalg.solve(y, rhs)
    s = np.empty((len(w), 3, 3), dtype=complex)
    for i, p in enumerate(ports):
        for c in range(3):
            s[:, i, c] = 2 * v[:, p, c] - (1 if i == c else 0)
    return s


def worst_db(params, n, f):
    z, r = np.exp(params[:n]), np.exp(params[n:])
    s = s_parameters(z, r, f)
    figures = np.stack([abs(s[:, 0, 0]), abs(s[:, 1, 1]), abs(s[:, 2, 2]), abs(s[:, 2, 1])])
    return 20 * np.log10(figures.max() + 1e-15)


def usable_band(params, n):
    f = np.linspace(0.2, 1.8, 3201)
    z, r = np.exp(params[:n]), np.exp(params[n:])
    s = s_parameters(z, r, f)
    worst = 20 * np.log10(np.stack([abs(s[:, 0, 0]), abs(s[:, 1, 1]), abs(s[:, 2, 2]),
                                    abs(s[:, 2, 1])]).max(axis=0))
    ok = worst <= -20
    centre = np.argmin(abs(f - 1))
    if not ok[centre]:
        return 0.0
    lo = centre
    while lo > 0 and ok[lo - 1]:
        lo -= 1
    hi = centre
    while hi < len(f) - 1 and ok[hi + 1]:
        hi += 1
    return f[hi] - f[lo]


def start(n):
    """A first guess: the branch's impedance stepping geometrically from 2 Z0
    down to Z0, the resistors doubling towards the outputs."""
    z = [2 ** (1 - (k + 0.5) / n) for k in range(n)]
    r = [0.6 * 2 ** (k * 3 / max(n - 1, 1)) for k in range(n)]
    return np.log(z + r)


def synthesise(n, band=0.2, seed=1):
    """The widest band found, widening from `band` (a fraction of f0)."""
    bounds = [(np.log(0.5), np.log(3.0))] * n + [(np.log(0.3), np.log(50.0))] * n
    best, best_band = None, 0.0
    first = band
    x0 = start(n)
    while band < 1.4:
        f = np.linspace(1 - band / 2, 1 + band / 2, 41)
        result = differential_evolution(worst_db, bounds, args=(n, f), seed=seed, tol=1e-8,
                                        maxiter=400, popsize=25, polish=False, x0=x0)
        polished = minimize(worst_db, result.x, args=(n, f), method="Nelder-Mead",
                            options={"xatol": 1e-7, "fatol": 1e-7, "maxiter": 20000})
        x = polished.x if polished.fun < result.fun else result.x
        if worst_db(x, n, f) > -20:
            break
        x0 = x
        reached = usable_band(x, n)
        if reached > best_band:
            best, best_band = x, reached
        band += 0.04
    if best is None:
        raise RuntimeError(f"{n} sections: not even {first:.2f} of f0 holds -20 dB")
    return np.exp(best[:n]), np.exp(best[n:]), best_band


# The program's table (engine/form_netlist.cpp): the widest answers the
# search found over its runs. Differential evolution's answer depends on the
# seed and scipy's version; one run may settle on a narrower one.
TABLE = {
    2: ([1.635771, 1.173955], [1.644629, 4.704662]),
    3: ([1.869207, 1.498077, 1.127081], [0.663246, 1.374249, 3.631493]),
}


if __name__ == "__main__":
    for n, (z, r) in TABLE.items():
        print(f"// the table's {n} sections: usable {100 * usable_band(np.log(z + r), n):.1f} % of f0")
    for n in (2, 3):
        z, r, band = synthesise(n)
        print(f"// {n} sections: usable {100 * band:.1f} % of f0")
        print("{" + ", ".join(f"{v:.6f}" for v in z) + "}, {" +
              ", ".join(f"{v:.6f}" for v in r) + "}")
