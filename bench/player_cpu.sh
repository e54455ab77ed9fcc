#!/usr/bin/env bash
# Measures the player's CPU use with the window open and no movie, over 10 seconds,
# from /proc (utime + stime). Usage: bench/idle_cpu.sh [build/bin/lanfan-player]
set -euo pipefail
player="${1:-build/bin/lanfan-player}"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
read -r display <&3
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$player" & pid=$!
trap 'kill $pid 2>/dev/null; pkill -f "Xvfb -displayfd 1" 2>/dev/null || true' EXIT
sleep 3  # start-up is not what we measure
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep 10
t1=$(ticks); s1=$(date +%s.%N)
echo "idle CPU: $(echo "scale=2; 100 * ($t1 - $t0) / $hz / ($s1 - $s0)" | bc)% of one core over $(echo "$s1 - $s0" | bc | cut -c1-5) s"
