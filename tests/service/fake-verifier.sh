#!/bin/sh
# SPDX-License-Identifier: MIT
# Stands in for the game's "tidewarden --verify FILE" in the service's tests: after its first four
# bytes ("TWRP"), the replay file says how the check goes.
[ "$1" = "--version" ] && { echo "Tide Warden stand-in"; exit 0; }
[ "$1" = "--verify" ] || exit 3
what=$(tail -c +5 "$2")
case $what in
"match "*)
    printf 'ticks 900\nscore %s\nlevel 1\n' "${what#match }"
    exit 0
    ;;
"differ "*)
    printf 'score %s\n' "${what#differ }"
    echo "tidewarden: $2: the game went another way by tick 256" >&2
    exit 1
    ;;
hang) exec sleep 60 ;;
*)
    echo "tidewarden: $2: not a replay" >&2
    exit 2
    ;;
esac
