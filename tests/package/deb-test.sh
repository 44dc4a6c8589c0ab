#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages from a copy of the source tree (dpkg-buildpackage -us -uc -b), checks
# them with lintian, unpacks them into a scratch root and starts what they installed from there.
#   deb-test.sh <source folder>
# Exit 77 (skipped, saying why) when the packaging tools or the declared build dependencies are
# missing. It builds the whole release configuration: minutes, so it runs only by its label.
set -euo pipefail

source=$(cd "$1" && pwd)
missing=
for tool in dpkg-buildpackage dpkg-checkbuilddeps dh fakeroot lintian; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
[ -z "$missing" ] || { echo "skipped: no$missing (scripts/install-deps installs them)"; exit 77; }
if ! deps=$(cd "$source" && dpkg-checkbuilddeps 2>&1); then
    echo "skipped: $deps"
    exit 77
fi

work=$(mktemp -d)
game=
finish() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The tree as git knows it (committed or not, ignored files left out), so no build folder comes along.
mkdir "$work/tidewarden"
(cd "$source" && git ls-files -z --cached --others --exclude-standard) |
    (cd "$source" && xargs -0 cp --parents -t "$work/tidewarden" --) 2>/dev/null ||
    fail "could not copy the source tree"
version=$(cd "$work/tidewarden" && dpkg-parsechangelog -S Version)
echo "building tidewarden $version"
if ! (cd "$work/tidewarden" && DEB_BUILD_OPTIONS="parallel=2" dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1; then
    tail -40 "$work/build.log"
    fail "dpkg-buildpackage failed"
fi
arch=$(dpkg --print-architecture)
game_deb=$work/tidewarden_${version}_$arch.deb
scores_deb=$work/tidewarden-scores_${version}_$arch.deb
[ -s "$game_deb" ] && [ -s "$scores_deb" ] || fail "not made: $(ls "$work")"

# lintian: no error and no warning (information and pedantic notes are shown, not refused).
lintian --fail-on error,warning --display-info "$work/tidewarden_${version}_$arch.changes" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian"; }
cat "$work/lintian.log"

# The font the game asks fontconfig for ("Arial") has its metric-compatible face in fonts-liberation.
dpkg-deb -f "$game_deb" Depends | grep -qw fonts-liberation || fail "the game does not depend on fonts-liberation"
root=$work/root
dpkg -x "$game_deb" "$root"
dpkg -x "$scores_deb" "$root"
for f in usr/games/tidewarden usr/libexec/tidewarden/tidewarden usr/bin/tidewarden-scores; do
    [ -x "$root/$f" ] || fail "$f is not an installed program"
done
for f in usr/share/games/tidewarden/data/menu.dxg usr/share/games/tidewarden/sound/gamesound.dxw \
    usr/share/applications/org.tidewarden.tidewarden.desktop usr/share/metainfo/org.tidewarden.tidewarden.metainfo.xml \
    usr/share/man/man6/tidewarden.6.gz usr/share/man/man1/tidewarden-scores.1.gz \
    lib/systemd/system/tidewarden-scores.service usr/share/doc/tidewarden/copyright; do
    [ -s "$root/$f" ] || fail "$f is missing"
done
grep -qxF "Exec=/usr/games/tidewarden" "$root/usr/share/applications/org.tidewarden.tidewarden.desktop" ||
    fail "desktop entry: $(grep ^Exec= "$root/usr/share/applications/org.tidewarden.tidewarden.desktop")"
grep -q '^ExecStart=/usr/bin/tidewarden-scores ' "$root/lib/systemd/system/tidewarden-scores.service" ||
    fail "unit: $(grep ^ExecStart= "$root/lib/systemd/system/tidewarden-scores.service")"

# The programs, run from the scratch root.
out=$("$root/usr/bin/tidewarden-scores" --version) || fail "tidewarden-scores --version failed"
grep -qF "$version" <<<"$out" || fail "tidewarden-scores --version: $out"
out=$("$root/usr/games/tidewarden" --version) || fail "tidewarden --version failed"
grep -qF "$version" <<<"$out" || fail "tidewarden --version: $out"
# Its launcher also starts it headless from an empty home, and it must load its data from the unpacked tree, write its settings in the player's folder and keep running.
home=$work/home
mkdir "$home"
env -i HOME="$home" PATH=/usr/bin:/bin SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$root/usr/games/tidewarden" \
    >"$work/game.log" 2>&1 &
game=$!
for _ in $(seq 1 40); do
    [ -s "$home/.local/share/tidewarden/config.dat" ] && break
    kill -0 "$game" 2>/dev/null || { cat "$work/game.log"; fail "the game ended at start"; }
    sleep 0.25
done
[ -s "$home/.local/share/tidewarden/config.dat" ] || { cat "$work/game.log"; fail "the game wrote no settings"; }
sleep 2
kill -0 "$game" 2>/dev/null || { cat "$work/game.log"; fail "the game ended"; }
kill -TERM "$game"
status=0
wait "$game" || status=$?
game=
[ $status -eq 0 ] || { cat "$work/game.log"; fail "the game ended with $status after SIGTERM"; }
echo "Debian packages $version built, lintian clean, unpacked and started"
