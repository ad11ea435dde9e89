"""Boards solved here, as a network analyser would see them: each form's
circuit by nodal analysis, behind a matched line at each port, with the
analyser's noise. Shared by the diagnosis test and its timing script."""
import numpy as np

# Each form's elements: name, kind, nodes (0 is ground).
CIRCUITS = {
    "narrow-splitter": (3, [("L1", "L", 1, 3), ("L2", "L", 1, 2), ("C1", "C", 1, 0),
                            ("C2", "C", 3, 0), ("C3", "C", 2, 0), ("R1", "R", 2, 3)]),
    "narrow-quad": (4, [("L1", "L", 4, 3), ("L2", "L", 1, 2), ("L3", "L", 1, 4), ("L4", "L", 2, 3),
                        ("C1", "C", 4, 0), ("C2", "C", 3, 0), ("C3", "C", 1, 0), ("C4", "C", 2, 0)]),
    # Inner nodes 20 and 30 are rows 5 and 6.
    "wide-quad": (4, [("L1", "L", 4, 6), ("L2", "L", 6, 3), ("L3", "L", 1, 5), ("L4", "L", 5, 2),
                      ("L5", "L", 1, 4), ("L6", "L", 5, 6), ("L7", "L", 2, 3), ("C1", "C", 4, 0),
                      ("C2", "C", 6, 0), ("C3", "C", 3, 0), ("C4", "C", 1, 0), ("C5", "C", 5, 0),
                      ("C6", "C", 2, 0)]),
}


def solve(topology, values, frequencies, z0=50.0):
    """S of the circuit at each frequency: the node matrix with the ports'
    terminations in it, S = 2 Z / z0 - 1 at the ports."""
    ports, elements = CIRCUITS[topology]
    nodes = max(max(a, b) for _, _, a, b in elements)
    s = np.zeros((len(frequencies), ports, ports), complex)
    for k, f in enumerate(frequencies):
        w = 2 * np.pi * f
        y = np.zeros((nodes, nodes), complex)
        for name, kind, a, b in elements:
            v = values[name]
            ye = {"L": 1 / (1j * w * v), "C": 1j * w * v, "R": 1 / v}[kind]
            for n in (a, b):
                if n:
                    y[n - 1, n - 1] += ye
            if a and b:
                y[a - 1, b - 1] -= ye
                y[b - 1, a - 1] -= ye
        y[:ports, :ports] += np.eye(ports) / z0
        s[k] = 2 * np.linalg.inv(y)[:ports, :ports] / z0 - np.eye(ports)
    return s


def measure(s, frequencies, delays_ps, rng, noise_db=-50):
    """The board behind a matched line at each port, with -50 dB of noise."""
    d = np.exp(-2j * np.pi * np.outer(frequencies, np.array(delays_ps) * 1e-12))
    noise = (rng.normal(size=s.shape) + 1j * rng.normal(size=s.shape)) * 10 ** (noise_db / 20) / np.sqrt(2)
    return s * d[:, :, None] * d[:, None, :] + noise
