#!/usr/bin/python3
"""The multi-section lumped branch-line hybrid's normalised values.

Each arm of the hybrid (the through arms between ports 1 and 2 and between
ports 4 and 3, and the branches across) is a quarter-wave line lumped as a
pi; the response depends on f / f0 and the impedances over Z0 alone. For a
symmetric hybrid of n sections this finds the impedances whose usable band
(match and isolation -20 dB, amplitude balance 0.5 dB, phase 5 degrees, and
every port's match and isolation -40 dB, the split within 0.005 dB and
the phase within 0.05 degrees at f0) about f0 is widest:
differential evolution then Nelder-Mead on the worst figure over a band,
the band widened while the worst stays inside its limits.

  /usr/bin/python3 tools/synthesize_quad.py 3 [first band]
"""
import numpy as np
from scipy.optimize import differential_evolution, minimize

def s_quad(zs, zb, f, hp=False):
    """Branch-line of len(zb) branches: top nodes t0..tn, bottom b0..bn. Ports t0=1, tn=2, bn=3, b0=4."""
    n = len(zb) - 1
    t = lambda k: k
    b = lambda k: n + 1 + k
    N = 2 * (n + 1)
    w = np.asarray(f, float)
    y = np.zeros((len(w), N, N), complex)
    def branch(i, j, adm):
        y[:, i, i] += adm; y[:, j, j] += adm; y[:, i, j] -= adm; y[:, j, i] -= adm
    def arm(i, j, z):
        if hp:
            branch(i, j, 1j * w / z)       # series C: Y = jwC, C = 1/z
            y[:, i, i] += 1 / (1j * w * z); y[:, j, j] += 1 / (1j * w * z)  # shunt L = z
        else:
            branch(i, j, 1 / (1j * w * z))
            y[:, i, i] += 1j * w / z; y[:, j, j] += 1j * w / z
    for k in range(n):
        arm(t(k), t(k + 1), zs[k]); arm(b(k), b(k + 1), zs[k])
    for k in range(n + 1):
        arm(t(k), b(k), zb[k])
    ports = [t(0), t(n), b(n), b(0)]
    for p in ports: y[:, p, p] += 1
    rhs = np.zeros((len(w), N, 4), complex)
    for c, p in enumerate(ports): rhs[:, p, c] = 1
    v = np.linalg.solve(y, rhs)
    s = np.empty((len(w), 4, 4), complex)
    for i, p in enumerate(ports):
        for c in range(4):
            s[:, i, c] = 2 * v[:, p, c] - (1 if i == c else 0)
    return s

def worst(zs, zb, f, hp=False):
    s = s_quad(zs, zb, f, hp)
    db = lambda x: 20 * np.log10(np.abs(x) + 1e-300)
    m = np.max(db(s[:, 0, 0])); iso = np.max(db(s[:, 3, 0]))
    imb = np.max(np.abs(db(s[:, 1, 0]) - db(s[:, 2, 0])))
    ph = np.max(np.abs(np.abs(np.angle(s[:, 2, 0] / s[:, 1, 0], deg=True)) - 90))
    # scaled to the limits: match/iso at -20, imbalance 0.5 dB, phase 5 deg
    s0 = s_quad(zs, zb, [1.0], hp)
    m0 = max(db(s0[0, 0, 0]), db(s0[0, 3, 0]), db(s0[0, 1, 1]), db(s0[0, 2, 1]))
    imb0 = abs(db(s0[0, 1, 0]) - db(s0[0, 2, 0]))
    ph0 = abs(abs(np.angle(s0[0, 2, 0] / s0[0, 1, 0], deg=True)) - 90)
    return max(m + 20, iso + 20, (imb - 0.5) * 20, (ph - 5) * 4, (m0 + 40) / 4,
               (imb0 - 0.005) * 200, (ph0 - 0.05) * 20)

def params_to(x, n):
    # symmetric: series arms zs[k] = zs[n-1-k], branches zb[k] = zb[n-k]
    ns = (n + 1) // 2; nb = (n + 2) // 2
    s_half = x[:ns]; b_half = x[ns:ns + nb]
    zs = [s_half[min(k, n - 1 - k)] for k in range(n)]
    zb = [b_half[min(k, n - k)] for k in range(n + 1)]
    return zs, zb

def band_f(frac):
    lo = 1 - frac / 2; hi = 1 + frac / 2
    return np.geomspace(lo, hi, 41)

import sys
if len(sys.argv) < 2 or not sys.argv[1].isdigit():
    sys.exit("usage: synthesize_quad.py SECTIONS [FIRST_BAND]   (e.g. 3 0.10)")
n = int(sys.argv[1])
ns = (n + 1) // 2; nb = (n + 2) // 2
best = None
for frac in np.arange(float(sys.argv[2]) if len(sys.argv) > 2 else 0.10, 0.60, 0.02):
    f = band_f(frac)
    obj = lambda x: worst(*params_to(x, n), f)
    bounds = [(0.3, 1.5)] * ns + [(0.4, 6)] * nb
    r = differential_evolution(obj, bounds, seed=1, maxiter=300, tol=1e-8, polish=False)
    r2 = minimize(obj, r.x, method='Nelder-Mead', options={'xatol': 1e-7, 'fatol': 1e-9, 'maxiter': 20000})
    x = r2.x if r2.fun < r.fun else r.x
    val = min(r.fun, r2.fun)
    print(f"{frac:.2f} worst {val:.3f} x {np.round(x, 6).tolist()}", flush=True)
    if val <= 0: best = (frac, x)
    else: break
print("best", best)
