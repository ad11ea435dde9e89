#!/usr/bin/python3
"""KiCad's own code as a client of --kicad: its Python module loads each
exported board, finds every footprint, value and net the program's ngspice
netlist has, and its design-rule check finds nothing but the unrouted
connections; the schematic, read by this test's own S-expression reader,
joins the same pins into the same nets.

usage: kicad_test.py RFSPLITTER_CLI   (exit 77: KiCad's module is missing)"""
import csv
import os
import re
import subprocess
import sys
import tempfile

try:
    import pcbnew
except ImportError:
    print("skipped: KiCad's Python module (Debian's kicad package) is not installed")
    sys.exit(77)

CLI = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def sexpr(text):
    """The S-expression as nested lists of atoms (strings unquoted)."""
    tokens = re.findall(r'"(?:[^"\\]|\\.)*"|[()]|[^\s()"]+', text)
    stack = [[]]
    for t in tokens:
        if t == "(":
            stack.append([])
        elif t == ")":
            done = stack.pop()
            stack[-1].append(done)
        else:
            stack[-1].append(t[1:-1].replace('\\"', '"') if t.startswith('"') else t)
    return stack[0][0]


def children(node, head):
    return [c for c in node if isinstance(c, list) and c and c[0] == head]


def spice_elements(path):
    """Each element of the exported netlist and its two nodes, by name; a
    pair's two parts ("XL1A", "XL1B") as one, without the node between
    them that nothing else touches."""
    parts = {}
    inside = False
    for line in open(path, encoding="utf-8"):
        inside = (inside or line.startswith(".subckt")) and not line.startswith(".ends")
        m = re.match(r"^X?([LCR]\d+[AB]?) (\S+) (\S+) ", line)
        if m and not inside:
            parts[m.group(1)] = {int(m.group(2)), int(m.group(3))}
    elements = {}
    for name, nodes in parts.items():
        element = re.sub(r"[AB]$", "", name)
        elements.setdefault(element, set()).update(nodes)
    for element in elements:
        mine = [n for p, n in parts.items() if re.sub(r"[AB]$", "", p) == element]
        others = set().union(*[n for p, n in parts.items()
                               if re.sub(r"[AB]$", "", p) != element])
        if len(mine) == 2:
            elements[element] -= (mine[0] & mine[1]) - others
    return elements


def node_of(net):
    """The netlist's node of a net; none for the middle of a pair."""
    if net == "GND":
        return 0
    if net.endswith("_MID"):
        return None
    return int(re.sub(r"^(PORT|N)", "", net))


def check_schematic(path, board_nets):
    root = sexpr(open(path, encoding="utf-8").read())
    check(root[0] == "kicad_sch" and children(root, "version")[0][1] == "20211123",
          f"{path}: not a version 20211123 schematic")
    pins = {}
    for symbol in children(children(root, "lib_symbols")[0], "symbol"):
        for unit in children(symbol, "symbol"):
            for pin in children(unit, "pin"):
                at = children(pin, "at")[0]
                number = children(pin, "number")[0][1]
                pins.setdefault(symbol[1], []).append((number, float(at[1]), float(at[2])))
    labels = {}
    for label in children(root, "label"):
        at = children(label, "at")[0]
        labels[(round(float(at[1]), 3), round(float(at[2]), 3))] = label[1]
    found = {}
    for symbol in children(root, "symbol"):
        lib = children(symbol, "lib_id")[0][1]
        at = children(symbol, "at")[0]
        check(float(at[3]) == 0, f"{path}: a turned symbol")
        props = {p[1]: p[2] for p in children(symbol, "property")}
        for number, x, y in pins[lib]:
            # The library's y axis points up, the sheet's down.
            where = (round(float(at[1]) + x, 3), round(float(at[2]) - y, 3))
            check(where in labels, f"{path}: pin {number} of {props['Reference']} is on no net")
            found.setdefault((props["Reference"], number), set()).add(labels.get(where))
    for key, nets in board_nets.items():
        check(found.get(key) == nets, f"{path}: {key} on {found.get(key)}, the board's {nets}")


def check_board(name, args):
    with tempfile.TemporaryDirectory() as d:
        done = subprocess.run([CLI, *args, "--spice", "--bom", "parts.csv", "--kicad", "board",
                               "--directory", d], capture_output=True, text=True,
                              env=dict(os.environ, LC_ALL="de_DE.UTF-8"))
        if done.returncode != 0:
            failures.append(f"{name}: {done.stderr}")
            return
        stem = [f[:-4] for f in os.listdir(d) if f.endswith(".cir")][0]
        elements = spice_elements(os.path.join(d, stem + ".cir"))
        values = {row["Designator"]: row["Value"]
                  for row in csv.DictReader(open(os.path.join(d, "parts.csv"), newline=""))
                  if row.get("Designator") and row.get("Kind")}
        board = pcbnew.LoadBoard(os.path.join(d, "board", stem + ".kicad_pcb"))
        joined = {}
        pad_nets = {}
        for fp in board.GetFootprints():
            ref = fp.GetReference()
            nets = [p.GetNetname() for p in fp.Pads()]
            for p in fp.Pads():
                pad_nets.setdefault((ref, p.GetNumber()), set()).add(p.GetNetname())
            if ref.startswith("J"):
                check(nets[0] == "PORT" + ref[1:] and set(nets[1:]) == {"GND"},
                      f"{name}: {ref} on {nets}")
                continue
            check(fp.GetValue() == values.get(ref), f"{name}: {ref} is {fp.GetValue()}, "
                  f"the parts list's {values.get(ref)}")
            element = re.sub(r"[AB]$", "", ref)
            ends = {node_of(n) for n in nets} - {None}
            joined.setdefault(element, set()).update(ends)
            lib = fp.GetFPID().GetUniStringLibId()
            check(re.match(r"(Inductor|Capacitor|Resistor)_SMD:[LCR]_0(402_1005|603_1608)Metric$",
                           lib), f"{name}: {ref} has the footprint {lib}")
        check(joined == elements, f"{name}: the board joins {joined}, the netlist {elements}")
        check_schematic(os.path.join(d, "board", stem + ".kicad_sch"), pad_nets)
        report = os.path.join(d, "drc.txt")
        pcbnew.WriteDRCReport(board, report, pcbnew.EDA_UNITS_MILLIMETRES, True)
        text = open(report, encoding="utf-8").read()
        kinds = re.findall(r"^\[(\w+)\]:.*\n.*Severity: error", text, re.M)
        errors = [k for k in kinds if k != "unconnected_items"]
        check(not errors, f"{name}: the design-rule check finds {sorted(set(errors))}")
        return board


with tempfile.TemporaryDirectory() as parts_dir:
    parts = os.path.join(parts_dir, "parts.txt")
    with open(parts, "w", encoding="utf-8") as f:
        f.write("6.8n MPN=LQW15AN6N8 I=0.7\n8.2n MPN=LQW15AN8N2\n10n\n12n\n"
                "6.8p MPN=GRM1555C1H6R8 V=50\n8.2p\n10p\n12p\n100 P=0.1\n")
    check_board("narrow splitter, ideal", ["--topology", "narrow-splitter", "--frequency", "915"])
    check_board("narrow hybrid, parts file", [
        "--topology", "narrow-quad", "--frequency", "915", "--parts", parts, "--part-model", "0603"])
    wide = check_board("wide hybrid, 0402, pairs", [
        "--topology", "wide-quad", "--frequency", "915", "--part-model", "0402",
        "--inductors", "E12", "--capacitors", "E24", "--tolerance-inductor", "5%",
        "--tolerance-capacitor", "2%", "--fit", "yield", "--pairs"])
    check_board("wide hybrid, ideal", ["--topology", "wide-quad", "--frequency", "2450"])
    check_board("narrow splitter, 0402, pairs", [
        "--topology", "narrow-splitter", "--frequency", "433.92", "--part-model", "0402-mounted",
        "--inductors", "E6", "--capacitors", "E6", "--resistors", "E24", "--fit", "margin",
        "--pairs"])
    # The families' boards: five ports, a star, sections, the ring's order.
    check_board("four-way splitter", ["--topology", "splitter", "--ways", "4", "--frequency",
                                      "915", "--inductors", "E12", "--capacitors", "E24"])
    check_board("three sections", ["--topology", "splitter", "--sections", "3", "--frequency",
                                   "915", "--part-model", "0402"])
    check_board("ring, high-pass", ["--topology", "ring", "--arms", "high-pass", "--frequency",
                                    "915"])
    if wide is not None:
        mpns = [fp.GetProperty("MPN") for fp in wide.GetFootprints() if fp.HasProperty("MPN")]
        check(not mpns, "an MPN= on a part of a standard series")

# The parts file's MPN= reaches the board.
with tempfile.TemporaryDirectory() as d:
    with open(os.path.join(d, "l.txt"), "w", encoding="utf-8") as f:
        f.write("12n MPN=LQW18AN12N I=0.5\n")
    subprocess.run([CLI, "--topology", "narrow-splitter", "--frequency", "915", "--inductors",
                    os.path.join(d, "l.txt"), "--kicad", "k", "--directory", d], check=True,
                   capture_output=True)
    board = pcbnew.LoadBoard(os.path.join(d, "k", "NarrowSplitter915.kicad_pcb"))
    for fp in board.GetFootprints():
        if fp.GetReference().startswith("L"):
            check(fp.HasProperty("MPN") and fp.GetProperty("MPN") == "LQW18AN12N",
                  f"{fp.GetReference()} has no MPN")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("KiCad loads every board, with the netlist's parts, values and nets")
