#!/usr/bin/env bash
# Measures the player's CPU use over 10 seconds from /proc (utime + stime), in a virtual
# X display: with the window open and no movie, or while MOVIE plays.
# Usage: bench/player_cpu.sh [MOVIE.swf] [build/bin/lanfan-player]
# It ends only the processes it started (its own Xvfb and player), by their ids.
set -euo pipefail
movie="${1:-}"
player="${2:-build/bin/lanfan-player}"
workdir=$(mktemp -d)
mkfifo "$workdir/display"
xvfb_pid=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT
# Xvfb writes the display number it chose into the pipe once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$workdir/display" 2>/dev/null &
xvfb_pid=$!
read -r display <"$workdir/display"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
# A movie named on the command line opens as 文件 > 打开 would open it, without the
# file dialog's own drawing in the figure.
if [ -n "$movie" ]; then
  "$player" "$(realpath "$movie")" >/dev/null 2>&1 &
else
  "$player" >/dev/null 2>&1 &
fi
pid=$!
sleep 4  # start-up and loading are not what we measure
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep 10
t1=$(ticks); s1=$(date +%s.%N)
what=${movie:-"no movie"}
echo "CPU with $what: $(echo "scale=2; 100 * ($t1 - $t0) / $hz / ($s1 - $s0)" | bc)% of one core over $(echo "$s1 - $s0" | bc | cut -c1-5) s"
