#!/usr/bin/env bash
# Installs the build into a DESTDIR under a prefix with a space in it, checks what a desktop needs
# (launcher, desktop entry, metainfo, icons, manual pages), starts the installed launcher from an
# empty home on a virtual X display, and uninstalls: nothing may be left.
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
# The test installs from the developer's build folder: keep a record of a real install made from it.
for f in install_manifest.txt install_created_dirs.txt; do
    [ -e "$build/$f" ] && mv "$build/$f" "$work/$f.kept"
done
finish() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    for f in install_manifest.txt install_created_dirs.txt; do
        rm -f "$build/$f"
        [ -e "$work/$f.kept" ] && mv "$work/$f.kept" "$build/$f"
    done
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
for f in libexec/tidewarden/about.html libexec/tidewarden/tidewarden.png share/tidewarden/data/menu.dxg share/tidewarden/data/gamegraphic.dxg \
    share/tidewarden/sound/gamesound.dxw share/tidewarden/sound/1.xm share/tidewarden/sound/2.xm \
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
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
for page in man6/tidewarden.6 man1/tidewarden-scores.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$root/share/man/$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

# The installed launcher, from an empty home, on a virtual display.
home=$work/home
mkdir "$home"
display=:$((70 + RANDOM % 19))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$display" SDL_AUDIODRIVER=dummy "$root/bin/tidewarden" \
    >"$work/game.log" 2>&1 &
game=$!
folder=$home/.local/share/tidewarden
window=
for _ in $(seq 1 120); do
    window=$(DISPLAY=$display xdotool search --name "^Tide Warden$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && [ -s "$folder/config.dat" ] && break
    kill -0 "$game" 2>/dev/null || { cat "$work/game.log"; fail "the game ended at start"; }
    sleep 0.5
done
[ -n "$window" ] || { cat "$work/game.log"; fail "the game window did not open"; }
[ -s "$folder/config.dat" ] || fail "no config.dat in $folder"
for name in data sound; do
    [ "$(readlink "$folder/$name")" = "$root/share/tidewarden/$name" ] ||
        fail "$folder/$name links to '$(readlink "$folder/$name")'"
done
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
[ -L "$work/xdg/tidewarden/data" ] || fail "XDG_DATA_HOME was not used"
(cd "$work" && env -i HOME="$home" XDG_DATA_HOME=relative PATH=/usr/bin:/bin SDL_VIDEODRIVER=none \
    "$root/bin/tidewarden" >/dev/null 2>&1) || true
[ ! -e "$work/relative" ] || fail "a relative XDG_DATA_HOME was used"

# Uninstall: a DESTDIR other than the install's is refused before anything is removed; then every
# file and every folder the install made is gone.
if DESTDIR=$work/elsewhere cmake --build "$build" --target uninstall >"$work/uninstall.log" 2>&1; then
    fail "an uninstall under another DESTDIR went ahead"
fi
grep -q "The install was made with DESTDIR" "$work/uninstall.log" || fail "no reason given: $(cat "$work/uninstall.log")"
[ -x "$root/bin/tidewarden" ] || fail "the refused uninstall removed files"
cmake --build "$build" --target uninstall >"$work/uninstall.log"
# The install made the staging folder itself, so it goes too.
if [ -e "$stage" ]; then
    fail "left after uninstalling: $(find "$stage")"
fi
echo "install, launcher and uninstall ok"
