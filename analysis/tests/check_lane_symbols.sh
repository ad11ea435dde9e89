#!/usr/bin/env bash
# The lane-solve objects built for wider instruction sets may define their
# entry point and nothing else the linker could share: an inline function
# from a header, emitted there as a weak symbol, could be picked for the
# whole program and then run AVX-512 code on a processor without it.
#   check_lane_symbols.sh OBJECT...
set -euo pipefail
status=0
for object in "$@"; do
  case "$object" in *avx2* | *avx512*) ;; *) continue ;; esac
  shared=$(nm -C --defined-only "$object" | awk '$2 ~ /^[A-Zuvw]$/ && $2 != "R" && $2 != "B" && $2 != "D"' |
           grep -v -E ' T rfsplitter::lanes::SolveAvx(2|512)\(' || true)
  if [ -n "$shared" ]; then
    echo "$object shares symbols beyond its entry point:"
    echo "$shared"
    status=1
  fi
  checked=1
done
[ -n "${checked:-}" ] || { echo "no AVX2 or AVX-512 object among: $*"; exit 1; }
exit $status
