#!/usr/bin/env bash
# Whole-process times of the chooser (rfsplitter-cli --choose) for bands that
# one section covers, that only sections cover, that no form covers, and with
# real parts and a 2,000-board yield for every candidate; medians of 20 runs
# (needs hyperfine). The goal: under a second for any band.
#   bench/choose_time.sh [BUILD_DIR]
set -euo pipefail
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt-get install hyperfine)" >&2; exit 1; }
build=$(realpath "${1:-build}")
cli="$build/bin/rfsplitter-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
runs=(
  "--choose --band 850-980"
  "--choose --band 600-1300"
  "--choose --band 400-1200 --phase 90"
  "--choose --band 850-980 --ways 4"
  "--choose --band 850-980 --inductors E12 --capacitors E24 --part-model 0402 --fit best --tolerance-inductor 5% --tolerance-capacitor 2% --monte-carlo 2000"
)
commands=()
for r in "${runs[@]}"; do commands+=("$cli $r"); done
# Exit status 3 (no form covers the band) is an answer, not a failure.
hyperfine -N -i --warmup 2 --runs 20 --export-csv times.csv --style none "${commands[@]}" >/dev/null 2>&1
awk -F, 'NR > 1 { sub(/^[^ ]* /, "", $1); printf "%8.1f ms  %s\n", $4 * 1000, $1 }' times.csv
