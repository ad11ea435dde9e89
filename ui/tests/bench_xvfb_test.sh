#!/usr/bin/env bash
# The real program on a real X server: Ctrl+B in the main window opens the
# bench, whose response plot is drawn (many colours, not a blank area), and
# the main window still measures 551 x 442.
#   bench_xvfb_test.sh PROGRAM SHOT_DIR
set -euo pipefail
program=$1
shots=$2
mkdir -p "$shots"
home=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$home"' EXIT

# A display of its own: Xvfb names a free one on the descriptor.
exec 3< <(Xvfb -displayfd 1 -screen 0 1600x1000x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -t 20 number <&3
export DISPLAY=":$number" HOME="$home" XDG_CONFIG_HOME="$home/.config"
cd "$home"
# A program that dies before its window shows (a display not yet taking
# clients on a loaded machine) is started once more; what it said is shown.
main=""
for attempt in 1 2; do
  "$program" >/dev/null 2>"$home/stderr" &
  app=$!
  for _ in $(seq 100); do
    main=$(xdotool search --name '^ $' 2>/dev/null | head -1 || true)
    [ -n "$main" ] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$main" ] && break
  echo "attempt $attempt: the main window did not appear; the program said:" >&2
  cat "$home/stderr" >&2
  sleep 1
done
[ -n "$main" ] || exit 1
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool key --window "$main" ctrl+b

bench=""
for _ in $(seq 100); do
  bench=$(xdotool search --name '^Design bench$' 2>/dev/null | head -1 || true)
  [ -n "$bench" ] && break
  sleep 0.1
done
[ -n "$bench" ] || { echo "Ctrl+B opened no bench" >&2; exit 1; }
sleep 1.5  # the first paint and the yield
import -window "$bench" "$shots/bench.png"
import -window "$main" "$shots/main.png"

size=$(xwininfo -id "$main" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$size" = "551x442" ] || { echo "the main window measures $size" >&2; exit 1; }

# The plot fills the left part of the bench below its tool row; drawn
# curves, fills and text give it hundreds of colours, a blank area a few.
colours=$(convert "$shots/bench.png" -gravity NorthWest -crop 40%x50%+20+120 +repage \
          -format %k info:)
echo "bench plot area: $colours colours"
[ "$colours" -gt 150 ] || { echo "the plot area looks blank ($colours colours)" >&2; exit 1; }
