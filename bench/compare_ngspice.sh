#!/usr/bin/env bash
# Whole-process times: the command line's analysis and exports against
# ngspice running the exported netlist, for each topology (needs hyperfine).
#   bench/compare_ngspice.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
work=$(mktemp -d)
cd "$work"
for topology in narrow-splitter narrow-quad wide-quad; do
  "$build/bin/rfsplitter-cli" --topology "$topology" --spice >/dev/null 2>&1
  netlist=$(ls -t *.cir | head -1)
  hyperfine -N --warmup 3 --runs 30 --export-csv "$topology.csv" --style basic \
    -n "rfsplitter-cli $topology" \
    "$build/bin/rfsplitter-cli --topology $topology --analyze --touchstone --spice" \
    -n "ngspice $netlist" "ngspice -b $netlist"
done
echo
echo "Medians (ms):"
for topology in narrow-splitter narrow-quad wide-quad; do
  awk -F, -v t="$topology" 'NR == 2 { ours = $4 } NR == 3 { theirs = $4 }
    END { printf "  %-16s rfsplitter-cli %7.1f   ngspice -b %7.1f   ratio %.1f\n",
          t, ours * 1000, theirs * 1000, theirs / ours }' "$topology.csv"
done
rm -rf "$work"
