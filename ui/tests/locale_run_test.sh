#!/usr/bin/env bash
# Starts the real window program under a real comma-decimal locale, lets it
# press Generate once with the start-up values, and compares what it wrote
# with the English golden file, byte for byte.
#
#   locale_run_test.sh PROGRAM GOLDEN_DIR LOCALE
set -euo pipefail
program=$1
golden=$2
locale=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
LC_ALL=$locale LANG=$locale QT_QPA_PLATFORM=offscreen "$program" --generate-and-quit >shown.txt 2>log.txt || {
  cat log.txt >&2
  exit 1
}

# The C library must really have run under that locale, or the test proves
# nothing.
LC_ALL=$locale locale -k decimal_point | grep -q 'decimal_point=","' || {
  echo "the locale $locale is not available (LOCPATH=${LOCPATH:-})" >&2
  exit 1
}

expect_line() {
  grep -qxF -- "$1" shown.txt || {
    echo "the window did not show: $1" >&2
    cat shown.txt >&2
    exit 1
  }
}
expect_line "txtFrequency=12,1"
expect_line "txtImpedance=50"
expect_line "L1 =  930, n  "
expect_line "R =  100    "

files=$(ls -A)
[ "$files" = "$(printf 'NarrowSplitter12.1.i\nlog.txt\nshown.txt')" ] || {
  echo "unexpected files: $files" >&2
  exit 1
}
cmp NarrowSplitter12.1.i "$golden/NarrowSplitter12.1.i"
echo "$locale: the file matches the English one byte for byte"
