#!/usr/bin/env bash
# Measures the player's CPU use over 10 seconds from /proc (utime + stime), in a virtual
# X display: with the window open and no movie, or while MOVIE plays.
# Usage: bench/player_cpu.sh [MOVIE.swf] [build/bin/lanfan-player]
set -euo pipefail
movie="${1:-}"
player="${2:-build/bin/lanfan-player}"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
read -r display <&3
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$player" >/dev/null 2>&1 & pid=$!
trap 'kill $pid 2>/dev/null; pkill -f "Xvfb -displayfd 1" 2>/dev/null || true' EXIT
sleep 2
if [ -n "$movie" ]; then
  window=$(xdotool search --name FLASH | head -1)
  xdotool windowfocus --sync "$window" key ctrl+o
  sleep 1
  xdotool type --delay 5 "$(realpath "$movie")"
  xdotool key Return
fi
sleep 2  # start-up and loading are not what we measure
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep 10
t1=$(ticks); s1=$(date +%s.%N)
what=${movie:-"no movie"}
echo "CPU with $what: $(echo "scale=2; 100 * ($t1 - $t0) / $hz / ($s1 - $s0)" | bc)% of one core over $(echo "$s1 - $s0" | bc | cut -c1-5) s"
