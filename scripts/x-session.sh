# SPDX-License-Identifier: MIT
# Sourced by the scripts that run the built game in a real X window on a virtual display (Xvfb): a
# fresh folder linked to the built data (so "config.dat" is a new one), the display, the clean-up at
# exit, and the wait for the game's window. Sets run, folder, display, xvfb, game and window.

# x_session RUN_FOLDER WIDTHxHEIGHT FIRST_DISPLAY: the folder and the display, made current.
x_session() {
    run=$(cd "$1" && pwd)
    folder=$(mktemp -d)
    ln -s "$run/data" "$folder/data"
    ln -s "$run/sound" "$folder/sound"
    display=:$(($3 + RANDOM % 40))
    Xvfb "$display" -screen 0 "${2}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    game=
    trap x_session_end EXIT
    export DISPLAY=$display
    sleep 1
}

x_session_end() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$folder"
}

# x_wait_window: the game's window, once it has opened (false when it has not in 30 s).
x_wait_window() {
    window=
    for _ in $(seq 1 60); do
        window=$(xdotool search --name "Tide Warden" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && return 0
        sleep 0.5
    done
    return 1
}
