#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a DESTDIR under a prefix with a space in it, checks what a desktop needs
# (launcher, desktop entry, metainfo, icons, manual pages), starts the installed launcher from an
# empty home on a virtual X display, and uninstalls: nothing may be left. Then the installs that
# must never touch each other: one under ~/.local beside a system one, links on the way, DESTDIR.
#   install-test.sh <build folder>
# Exit 77 (skipped) when there is no Xvfb or xdotool.
set -euo pipefail

build=$(cd "$1" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb or xdotool: skipped"; exit 77; }

work=$(mktemp -d)
stage=$work/stage
prefix="/opt/tide warden"
root=$stage$prefix
game=
xvfb=
# The test installs from the developer's build folder: CMake's own list of the last install is
# written over by each install, so it is put back afterwards. The test's installs have manifests
# of their own (one per DESTDIR and prefix), which its uninstalls remove.
[ -e "$build/install_manifest.txt" ] && mv "$build/install_manifest.txt" "$work/install_manifest.txt.kept"
finish() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -f "$build/install_manifest.txt"
    [ -e "$work/install_manifest.txt.kept" ] && mv "$work/install_manifest.txt.kept" "$build/install_manifest.txt"
    # A failed run leaves the manifests of its installs: they name only folders under $work.
    # None at all is fine: under `set -e` a grep that finds nothing must not fail the clean-up.
    { grep -lE "^(prefix|destdir):$work(/|$)" "$build"/install-manifests/*.txt 2>/dev/null || true; } | xargs -r rm -f --
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# What was installed, and where.
id=org.tidewarden.tidewarden
for f in bin/tidewarden bin/tidewarden-scores libexec/tidewarden/tidewarden; do
    [ -x "$root/$f" ] || fail "$f is not an installed program"
done
for f in libexec/tidewarden/about.html libexec/tidewarden/tidewarden.png share/games/tidewarden/data/menu.dxg \
    share/games/tidewarden/data/gamegraphic.dxg share/games/tidewarden/sound/gamesound.dxw \
    share/games/tidewarden/sound/1.xm share/games/tidewarden/sound/2.xm \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man6/tidewarden.6 \
    share/man/man1/tidewarden-scores.1; do
    [ -s "$root/$f" ] || fail "$f is missing"
done
for size in 16 24 32 48 64 128 256; do
    icon=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -s "$icon" ] || fail "no $size px icon"
    # The PNG header: signature, then the width and height in IHDR.
    read -r sig w h < <(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(d[1:4].decode(), *struct.unpack(">II", d[16:24]))' "$icon")
    [ "$sig $w $h" = "PNG $size $size" ] || fail "the $size px icon is $sig $w x $h"
done

# The score service's unit starts the installed program, as a user of its own with its own state folder.
unit=$root/lib/systemd/system/tidewarden-scores.service
[ -s "$unit" ] || fail "lib/systemd/system/tidewarden-scores.service is missing"
grep -q "^ExecStart=\"$prefix/bin/tidewarden-scores\" " "$unit" || fail "unit: $(grep ^ExecStart= "$unit")"
for line in DynamicUser=yes StateDirectory=tidewarden-scores NoNewPrivileges=yes ProtectSystem=strict; do
    grep -qxF "$line" "$unit" || fail "the unit lacks $line"
done
if command -v systemd-analyze >/dev/null; then
    # Checked against the installed program's path outside the DESTDIR, which systemd can look at.
    sed "s|^ExecStart=\"$prefix/bin/tidewarden-scores\"|ExecStart=\"$root/bin/tidewarden-scores\"|" "$unit" \
        >"$work/tidewarden-scores.service"
    systemd-analyze verify --man=no "$work/tidewarden-scores.service" >"$work/verify.log" 2>&1 ||
        fail "systemd-analyze verify: $(cat "$work/verify.log")"
fi

# The desktop entry starts the installed launcher (quoted: the prefix has a space).
grep -qxF "Exec=\"$prefix/bin/tidewarden\"" "$root/share/applications/$id.desktop" ||
    fail "desktop entry: $(grep ^Exec= "$root/share/applications/$id.desktop")"
grep -qxF "Icon=$id" "$root/share/applications/$id.desktop" || fail "desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop-file-validate"
fi
appstreamcli validate --no-net --pedantic "$root/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
if command -v appstream-util >/dev/null; then
    appstream-util validate --nonet "$root/share/metainfo/$id.metainfo.xml" || fail "appstream-util validate"
fi
for page in man6/tidewarden.6 man1/tidewarden-scores.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$root/share/man/$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

# The installed launcher, from an empty home, on a virtual display.
home=$work/home
folder=$home/.local/share/tidewarden
# An older launcher's links in the player's folder: they go, the game reads the data by path.
mkdir -p "$folder"
ln -s "$root/share/games/tidewarden/data" "$folder/data"
ln -s /nonexistent "$folder/sound"
display=:$((70 + RANDOM % 19))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$display" SDL_AUDIODRIVER=dummy "$root/bin/tidewarden" \
    >"$work/game.log" 2>&1 &
game=$!
window=
for _ in $(seq 1 120); do
    window=$(DISPLAY=$display xdotool search --name "^Tide Warden$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && [ -s "$folder/config.dat" ] && break
    kill -0 "$game" 2>/dev/null || { cat "$work/game.log"; fail "the game ended at start"; }
    sleep 0.5
done
[ -n "$window" ] || { cat "$work/game.log"; fail "the game window did not open"; }
[ -s "$folder/config.dat" ] || fail "no config.dat in $folder"
# The player's folder holds the player's files only.
left=$(cd "$folder" && ls -A | grep -vx -e config.dat -e play.url || true)
[ -z "$left" ] || fail "the player's folder holds: $left"
data=$(tr '\0' '\n' <"/proc/$game/environ" | sed -n 's/^TIDEWARDEN_DATA=//p')
[ "$data" = "$root/share/games/tidewarden" ] || fail "the game was given the data folder '$data'"
# The desktop entry's StartupWMClass is the window's class.
DISPLAY=$display xdotool search --class "^tidewarden$" >/dev/null || fail "the window's class is not tidewarden"
[ -z "$(find "$root" -name config.dat)" ] || fail "the game wrote beside its program"
kill -TERM "$game"
status=0
wait "$game" || status=$?
game=
[ $status -eq 0 ] || { cat "$work/game.log"; fail "the game ended with $status after SIGTERM"; }

# XDG_DATA_HOME moves the folder; a relative one does not count. Without a display the game cannot
# start, but the launcher has made the folder by then.
env -i HOME="$home" XDG_DATA_HOME="$work/xdg" PATH=/usr/bin:/bin SDL_VIDEODRIVER=none "$root/bin/tidewarden" \
    >/dev/null 2>&1 || true
[ -d "$work/xdg/tidewarden" ] || fail "XDG_DATA_HOME was not used"
(cd "$work" && env -i HOME="$home" XDG_DATA_HOME=relative PATH=/usr/bin:/bin SDL_VIDEODRIVER=none \
    "$root/bin/tidewarden" >/dev/null 2>&1) || true
[ ! -e "$work/relative" ] || fail "a relative XDG_DATA_HOME was used"

# Uninstall: a DESTDIR other than the install's is refused before anything is removed; then every
# file and every folder the install made is gone, and a second uninstall is refused.
uninstall() { cmake --build "$build" --target uninstall >"$work/uninstall.log" 2>&1; }
if DESTDIR=$work/elsewhere PREFIX=$prefix uninstall; then
    fail "an uninstall under another DESTDIR went ahead"
fi
grep -q "Nothing to uninstall" "$work/uninstall.log" || fail "no reason given: $(cat "$work/uninstall.log")"
[ -x "$root/bin/tidewarden" ] || fail "the refused uninstall removed files"
DESTDIR=$stage PREFIX=$prefix uninstall || fail "uninstall: $(cat "$work/uninstall.log")"
# The install made the staging folder itself, so it goes too.
if [ -e "$stage" ]; then
    fail "left after uninstalling: $(find "$stage")"
fi
DESTDIR=$stage PREFIX=$prefix uninstall && fail "a second uninstall went ahead"
grep -q "Nothing to uninstall" "$work/uninstall.log" || fail "second uninstall: $(cat "$work/uninstall.log")"
[ -s "$folder/config.dat" ] || fail "the uninstall removed the player's settings"

# A system install, and the same player's install under ~/.local beside it: neither touches the
# other. The fingerprint of a tree: every path, link target and content.
fingerprint() { (cd "$1" && find . -printf '%p %y %l\n' | sort && find . -type f -exec sha1sum {} + | sort); }
system=$work/system
cmake --install "$build" --prefix "$system" >"$work/install.log"
fingerprint "$system" >"$work/system.before"
local=$home/.local
# The old layout's links, as an older launcher left them to the system install's data.
ln -s "$system/share/games/tidewarden/data" "$folder/data"
ln -s "$system/share/games/tidewarden/sound" "$folder/sound"
cmake --install "$build" --prefix "$local" >"$work/install.log" || fail "install to ~/.local: $(cat "$work/install.log")"
[ -s "$local/share/games/tidewarden/data/menu.dxg" ] && [ ! -L "$local/share/games/tidewarden/data" ] ||
    fail "the ~/.local install's data is not its own"
env -i HOME="$home" PATH=/usr/bin:/bin SDL_VIDEODRIVER=none "$local/bin/tidewarden" >/dev/null 2>&1 || true
[ ! -e "$folder/data" ] && [ ! -e "$folder/sound" ] || fail "the old links are still in the player's folder"
PREFIX=$local uninstall || fail "uninstall of ~/.local: $(cat "$work/uninstall.log")"
[ -s "$folder/config.dat" ] || fail "the ~/.local uninstall removed the player's settings"
[ -z "$(find "$local" -type f ! -path "$folder/*")" ] || fail "left under ~/.local: $(find "$local" -type f)"
fingerprint "$system" >"$work/system.after"
cmp -s "$work/system.before" "$work/system.after" ||
    fail "the ~/.local install changed the system one: $(diff "$work/system.before" "$work/system.after" | head)"

# A link on the way into the install: the install refuses to write through it...
other=$work/other
mkdir -p "$other/share/games/tidewarden"
ln -s "$system/share/games/tidewarden/data" "$other/share/games/tidewarden/data"
cmake --install "$build" --prefix "$other" >"$work/install.log" 2>&1 && fail "an install through a link went ahead"
grep -q "Not installing through the link" "$work/install.log" || fail "install through a link: $(cat "$work/install.log")"
rm "$other/share/games/tidewarden/data"
# ...and a link put there after the install stops the uninstall before it removes anything.
cmake --install "$build" --prefix "$other" >"$work/install.log"
mv "$other/share/games/tidewarden/data" "$work/other-data"
ln -s "$system/share/games/tidewarden/data" "$other/share/games/tidewarden/data"
PREFIX=$other uninstall && fail "an uninstall through a link went ahead"
grep -q "behind a symbolic link" "$work/uninstall.log" || fail "uninstall through a link: $(cat "$work/uninstall.log")"
[ -x "$other/bin/tidewarden" ] || fail "the refused uninstall removed files"
rm "$other/share/games/tidewarden/data"
mv "$work/other-data" "$other/share/games/tidewarden/data"
PREFIX=$other uninstall || fail "uninstall: $(cat "$work/uninstall.log")"
[ -z "$(find "$other" -type f)" ] || fail "left in $other: $(find "$other" -type f)"

# A staged install with the system install's prefix: its uninstall, twice, never reaches the real one.
DESTDIR=$stage cmake --install "$build" --prefix "$system" >"$work/install.log"
DESTDIR=$stage PREFIX=$system/ uninstall || fail "staged uninstall: $(cat "$work/uninstall.log")"
[ ! -e "$stage" ] || fail "left after the staged uninstall: $(find "$stage")"
DESTDIR=$stage PREFIX=$system uninstall && fail "a second staged uninstall went ahead"
fingerprint "$system" >"$work/system.after"
cmp -s "$work/system.before" "$work/system.after" || fail "the staged uninstall changed the system install"
PREFIX=$system uninstall || fail "uninstall of the system install: $(cat "$work/uninstall.log")"
[ ! -e "$system" ] || fail "left after uninstalling: $(find "$system")"
echo "install, launcher, uninstall and installs side by side ok"
