#!/usr/bin/env bash
# The yield each fit reaches, and the whole process's time (the median of
# RUNS runs, the fit and a Monte Carlo of 10,000 boards), for the hybrids
# built from E12 inductors (Q 40) and E24 capacitors, L +-5 %, C +-2 %.
#   bench/fit_yields.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
cli="$build/bin/rfsplitter-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fits=("best" "nearest" "margin" "yield" "yield --pairs")
printf '| %-18s |' "circuit, f0"
for fit in "${fits[@]}"; do printf ' %-22s |' "--fit $fit"; done
printf '\n|%s|' "--------------------"
for fit in "${fits[@]}"; do printf '%s|' "------------------------"; done
printf '\n'
for topology in narrow-quad wide-quad; do
  for f0 in 433.92 915; do
    printf '| %-18s |' "$topology $f0"
    for fit in "${fits[@]}"; do
      times=()
      for ((i = 0; i < runs; ++i)); do
        start=$(date +%s%N)
        # shellcheck disable=SC2086
        out=$("$cli" --topology "$topology" --frequency "$f0" --inductors E12 --capacitors E24 \
              --q-inductor 40 --tolerance-inductor 5% --tolerance-capacitor 2% \
              --monte-carlo 10000 --fit $fit --directory "$work" 2>/dev/null)
        times+=($(( ($(date +%s%N) - start) / 1000000 )))
      done
      median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
      yield=$(grep -m1 '^Yield' <<<"$out" | awk '{ print $2 }')
      alike=$(grep '^Yield .* drawn alike' <<<"$out" | awk '{ print $2 }' || true)
      cell="$yield %${alike:+ ($alike alike)}, ${median} ms"
      printf ' %-22s |' "$cell"
    done
    printf '\n'
  done
done
