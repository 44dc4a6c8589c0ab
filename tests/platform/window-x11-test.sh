#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The game's window on a real X server (Xvfb, no window manager): the minimum size reaches the
# desktop as the window's size hints (an OpenGL renderer makes SDL recreate the X window, and only a
# window manager enforces them, so the hints are what is checked), a large screen opens the window at a
# whole multiple of 800 x 600, and its size and place come back at the next start from a file of
# their own, while a damaged file quietly gives the first run's window.
#   tests/platform/window-x11-test.sh <run folder>
# Exits 77 (skipped) without Xvfb, xdotool, xprop or xwininfo.
set -euo pipefail

for tool in Xvfb xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/../../scripts/x-session.sh"
x_session "$1" 2560x1600 150
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

window=
start() {
    (cd "$folder" && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy exec "$run/tidewarden") >>"$folder/game.log" 2>&1 &
    game=$!
    x_wait_window || { echo "the game window did not open"; cat "$folder/game.log"; exit 1; }
    sleep 2
}
stop() {
    kill -TERM "$game"
    wait "$game" || true
    game=
}
geometry() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                                  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}

start
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
grep -q "minimum size: 400 by 300" <<<"$hints" || fail "no minimum size on the X window: $hints"
read -r x y w h <<<"$(geometry)"
[ "$w $h" = "1600 1200" ] || fail "first start on 2560 x 1600: ${w} x ${h}, not 1600 x 1200"
[ "$x $y" = "480 200" ] || fail "first start not centred: at $x, $y"
xdotool windowsize --sync "$window" 1000 750
xdotool windowmove --sync "$window" 40 50
sleep 1
stop
[ "$(cat "$folder/window.txt" 2>/dev/null)" = "40 50 1000 750" ] ||
    fail "window.txt holds '$(cat "$folder/window.txt" 2>/dev/null)', not '40 50 1000 750'"
[ "$(stat -c %s "$folder/config.dat")" = 158 ] || fail "config.dat is no longer the 158-byte record"

start
read -r x y w h <<<"$(geometry)"
[ "$x $y $w $h" = "40 50 1000 750" ] || fail "second start at $x $y $w $h, not 40 50 1000 750"
stop

printf 'not a place\n' >"$folder/window.txt"
: >"$folder/game.log"
start
read -r x y w h <<<"$(geometry)"
[ "$w $h" = "1600 1200" ] || fail "a damaged window.txt gave ${w} x ${h}, not the first start's window"
stop
grep -qi "window.txt\|place" "$folder/game.log" && fail "a damaged window.txt was reported: $(cat "$folder/game.log")"
[ "$(cat "$folder/window.txt")" = "480 200 1600 1200" ] || fail "the damaged file was not replaced"

[ "$failures" = 0 ] && echo "window on X: all good"
exit $((failures > 0))
