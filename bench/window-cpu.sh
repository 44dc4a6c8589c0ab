#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# How much processor time the game takes in a real X window on a virtual display (Xvfb, software
# GL): the whole process and each of its threads, from /proc, over a span of play or of the menu.
#   bench/window-cpu.sh <run folder> [play|menu] [seconds] [WIDTHxHEIGHT]
# The run folder holds the program and its data (build/release/run). The game starts in a fresh
# folder (new settings: windowed, music on, sound on); "play" starts a game with Enter and holds
# Space (the gun) throughout, so that the diver fights rather than idles. WIDTHxHEIGHT resizes the
# window first (the picture is then scaled). Prints percent of one core.
set -euo pipefail

[ $# -ge 1 ] || { sed -n '2,9p' "$0"; exit 2; }
mode=${2:-play}
seconds=${3:-30}
size=${4:-}
case $mode in play | menu) ;; *) echo "window-cpu: mode is play or menu, not '$mode'" >&2; exit 2 ;; esac
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "window-cpu: $tool is needed" >&2; exit 77; }
done

. "$(dirname "$0")/../scripts/x-session.sh"
x_session "$1" 1280x1024 110
(cd "$folder" && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy exec "$run/tidewarden") >"$folder/game.log" 2>&1 &
game=$!
x_wait_window || { echo "window-cpu: the game window did not open" >&2; cat "$folder/game.log" >&2; exit 1; }
xdotool windowfocus --sync "$window"
if [ -n "$size" ]; then
    xdotool windowsize --sync "$window" "${size%x*}" "${size#*x}"
fi
sleep 2
if [ "$mode" = play ]; then
    xdotool key --window "$window" Return
    sleep 1
    xdotool keydown --window "$window" space
fi
sleep 2

ticks=$(getconf CLK_TCK)
# utime + stime of the process (all its threads) or of one thread.
cpu() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1"; }
declare -A before names
for t in /proc/"$game"/task/*; do
    id=${t##*/}
    before[$id]=$(cpu "$t/stat" 2>/dev/null || echo 0)
    names[$id]=$(cat "$t/comm" 2>/dev/null || echo '?')
done
total_before=$(cpu /proc/"$game"/stat)
start=$(date +%s.%N)
sleep "$seconds"
total_after=$(cpu /proc/"$game"/stat)
end=$(date +%s.%N)
percent() { awk -v d="$1" -v t="$ticks" -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", 100 * d / t / (e - s) }'; }

window_size=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')
echo "mode $mode, window $window_size, $seconds s: $(percent $((total_after - total_before))) % of a core"
for t in /proc/"$game"/task/*; do
    id=${t##*/}
    now=$(cpu "$t/stat" 2>/dev/null || echo 0)
    was=${before[$id]:-0}
    echo "  thread $id ${names[$id]:-$(cat "$t/comm")}: $(percent $((now - was))) %"
done
[ "$mode" = play ] && xdotool keyup --window "$window" space
kill -0 "$game" 2>/dev/null || { echo "window-cpu: the game ended during the measurement" >&2; exit 1; }
