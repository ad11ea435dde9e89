#!/usr/bin/env bash
# Whole-process times against ngspice running the exported netlist (one
# 200-point sweep), for each topology: the ordinary checking run (analysis,
# Touchstone, netlist and plot) and a Monte Carlo of 10,000 boards, each over
# the 200-point sweep, with its plot (needs hyperfine).
#   bench/compare_ngspice.sh [BUILD_DIR]
set -euo pipefail
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt-get install hyperfine)" >&2; exit 1; }
build=$(realpath "${1:-build}")
cli="$build/bin/rfsplitter-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
median() { awk -F, -v row="$2" 'NR == row + 1 { print $4 }' "$1"; }
printf '%-16s %12s %14s %7s %16s %7s\n' topology "ngspice -b" "checking run" ratio "Monte Carlo 10k" ratio
for topology in narrow-splitter narrow-quad wide-quad; do
  "$cli" --topology "$topology" --spice >/dev/null 2>&1
  netlist=$(ls -t ./*.cir | head -1)
  hyperfine -N --warmup 3 --runs 20 --export-csv "$topology.csv" --style none \
    "ngspice -b $netlist" \
    "$cli --topology $topology --analyze --touchstone --spice --plot p.svg" \
    "$cli --topology $topology --fit best --tolerance-inductor 5% --tolerance-capacitor 2% --monte-carlo 10000 --plot p.svg" \
    >/dev/null 2>&1
  ngspice=$(median "$topology.csv" 1)
  check=$(median "$topology.csv" 2)
  mc=$(median "$topology.csv" 3)
  awk -v t="$topology" -v n="$ngspice" -v c="$check" -v m="$mc" 'BEGIN {
    printf "%-16s %9.1f ms %11.1f ms %6.1fx %13.1f ms %6.2fx\n", t, n * 1000, c * 1000, n / c, m * 1000, m / n }'
done
echo "(checking-run ratio: how many times faster than ngspice; Monte Carlo ratio: how many ngspice runs it takes)"
