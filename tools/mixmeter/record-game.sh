#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Records what the audio device plays through a scripted real game and measures it: the game of a
# build's run folder starts on a virtual display with SDL's disk audio driver; xdotool then either
# starts a game from the main menu, holds Space to fire throughout and steers with the arrows
# ("game"), or stays in the main menu moving the selection up and down ("menu").
#   record-game.sh BUILD_DIR OUT_PREFIX [SECONDS] [game|menu] [all|music|sound]
# Writes OUT_PREFIX.raw (signed 16-bit stereo at 44100 Hz, from the program's start) and prints
# mixmeter's figures for it; for a game, the part from the game's start. "music" and "sound" switch
# the other off in the settings file first, so music alone and effects alone can be measured.
set -euo pipefail

usage="usage: record-game.sh BUILD_DIR OUT_PREFIX [SECONDS] [game|menu] [all|music|sound]"
build=$(cd "${1:?$usage}" && pwd)
out=${2:?$usage}
seconds=${3:-60}
where=${4:-game}
what=${5:-all}
case $where in game | menu) ;; *) echo "$usage" >&2; exit 2 ;; esac
case $what in all | music | sound) ;; *) echo "$usage" >&2; exit 2 ;; esac
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "needs Xvfb and xdotool" >&2; exit 77; }
run=$build/run
meter=$build/tools/mixmeter/mixmeter
[ -x "$run/tidewarden" ] && [ -x "$meter" ] || { echo "build tidewarden and mixmeter in $build first" >&2; exit 1; }
raw=$(realpath -m "$out.raw")

work=$(mktemp -d /tmp/tidewarden-mix-XXXXXX)
xvfb= game=
cleanup() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ln -s "$run/data" "$work/data"
ln -s "$run/sound" "$work/sound"

display=:$((40 + RANDOM % 19))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display

start_game() { # $1: where the device's output goes
    (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$1" exec "$run/tidewarden") >"$work/game.log" 2>&1 &
    game=$!
    window=
    for _ in $(seq 1 60); do
        window=$(xdotool search --name "^Tide Warden$" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && [ -s "$work/config.dat" ] && return 0
        sleep 0.5
    done
    cat "$work/game.log" >&2
    echo "the game window did not open" >&2
    exit 1
}
stop_game() {
    kill -TERM "$game" 2>/dev/null || true
    wait "$game" 2>/dev/null || true
    game=
}

# The settings file the game writes at its first start, with music or sound switched off on request
# (the flags are stored with their lowest bit flipped: 1 is off).
if [ "$what" != all ]; then
    start_game /dev/null
    stop_game
    offset=$([ "$what" = music ] && echo 2 || echo 1)
    printf '\001' | dd of="$work/config.dat" bs=1 seek="$offset" conv=notrunc status=none
fi

rm -f "$raw"
start_game "$raw"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 3
# A fixed seed for the script's own choices, so every run presses alike (the game's draws differ).
RANDOM=20
if [ "$where" = menu ]; then
    end=$((SECONDS + seconds))
    while [ $SECONDS -lt $end ]; do
        xdotool key Down
        sleep "0.$((3 + RANDOM % 6))"
        xdotool key Up
        sleep "0.$((3 + RANDOM % 6))"
    done
    stop_game
    echo "== the main menu, the selection moving up and down ($what)"
    "$meter" "$raw"
    exit 0
fi

menu_bytes=$(stat -c %s "$raw")
xdotool key Return # the main menu opens on START GAME
sleep 0.3
xdotool keydown space
keys=(Up Down Left Right Up Down)
end=$((SECONDS + seconds))
while [ $SECONDS -lt $end ]; do
    key=${keys[RANDOM % ${#keys[@]}]}
    xdotool keydown "$key"
    sleep "0.$((2 + RANDOM % 7))"
    xdotool keyup "$key"
    sleep "0.$((RANDOM % 4))"
done
xdotool keyup space
stop_game

from=$(awk -v b="$menu_bytes" 'BEGIN { printf "%.2f", b / (44100 * 4) }')
echo "== a game with fire held, from $from s on ($what)"
"$meter" --from "$from" "$raw"
