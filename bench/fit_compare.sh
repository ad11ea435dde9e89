#!/usr/bin/env bash
# The yield fit of two builds side by side: for each case, RUNS whole-process
# runs of each, alternating, and the median time with the yield of 10,000
# fresh boards. E12 inductors (Q 40), E24 capacitors or a sparse parts file,
# L +-5 %, C +-2 %.
#   bench/fit_compare.sh OLD_CLI NEW_CLI [RUNS]
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '10n\n18n\n22n\n33n\n39n\n' >"$work/sparse_l.txt"
printf '9.1p\n11p\n20p\n22p\n' >"$work/sparse_c.txt"
common=(--q-inductor 40 --tolerance-inductor 5% --tolerance-capacitor 2% --monte-carlo 10000
        --fit yield --directory "$work")
cases=("narrow-quad 433.92 E12 E24" "narrow-quad 433.92 E12 E24 --pairs"
       "wide-quad 433.92 $work/sparse_l.txt $work/sparse_c.txt"
       "narrow-quad 915 E12 E24" "narrow-quad 915 E12 E24 --pairs"
       "wide-quad 433.92 E12 E24" "wide-quad 433.92 E12 E24 --pairs"
       "wide-quad 915 E12 E24" "wide-quad 915 E12 E24 --pairs")
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
echo "| case | old | new |"
echo "|---|---|---|"
for c in "${cases[@]}"; do
  read -r topology f0 inductors capacitors pairs <<<"$c"
  args=(--topology "$topology" --frequency "$f0" --inductors "$inductors" --capacitors "$capacitors"
        ${pairs:+"$pairs"} "${common[@]}")
  old_times=() new_times=()
  for ((i = 0; i < runs; ++i)); do
    for which in old new; do
      cli=$old
      [ "$which" = new ] && cli=$new
      start=$(date +%s%N)
      yield=$("$cli" "${args[@]}" 2>/dev/null | grep -m1 '^Yield' | awk '{ print $2 }')
      ms=$(( ($(date +%s%N) - start) / 1000000 ))
      if [ "$which" = old ]; then old_times+=("$ms"); old_yield=$yield; else new_times+=("$ms"); new_yield=$yield; fi
    done
  done
  printf '| %s %s %s%s | %s %%, %s ms | %s %%, %s ms |\n' "$topology" "$f0" "${inductors##*/}" "${pairs:+ pairs}" \
    "$old_yield" "$(printf '%s\n' "${old_times[@]}" | median)" \
    "$new_yield" "$(printf '%s\n' "${new_times[@]}" | median)"
done
