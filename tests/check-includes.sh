#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the include graph of src/ against the layers: a folder includes only itself and the folders
# its line of src/layers.txt names. Third-party headers (SDL, SDL_ttf, libxmp, libcurl, fontconfig, libpng) are
# included only in src/platform/ (and in the platform tests and the SDL benchmark).
set -u
root=${1:-.}

# The table lives in src/layers.txt of this checkout (a tree being checked may be a fixture without one).
layers="$(dirname "$0")/../src/layers.txt"
declare -A allowed=()
while IFS=: read -r folder uses; do
  case $folder in ''|'#'*) continue ;; esac
  allowed[$folder]="$folder $uses"
done < "$layers"

status=0
while IFS= read -r -d '' file; do
  rel=${file#"$root/src/"}
  folder=$(dirname "$rel")
  if [ -z "${allowed[$folder]+x}" ]; then
    echo "$rel: folder '$folder' has no line in src/layers.txt"
    status=1
    continue
  fi
  while IFS= read -r target; do
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "$rel: includes $target/, which '$folder' may not use"; status=1 ;;
    esac
  done < <(sed -nE 's/^\s*#\s*include\s*"([a-z]+)\/.*/\1/p' "$file" | sort -u)
done < <(find "$root/src" -name '*.h' -print0 -o -name '*.cpp' -print0)

third_party='#\s*include\s*[<"](SDL|SDL2/|xmp\.h|curl/|fontconfig/|png\.h)'
hits=$(grep -rnE "$third_party" "$root/src" "$root/tools" "$root/tests" "$root/bench" "$root/fuzz" 2>/dev/null \
       | grep -v "^$root/src/platform/" | grep -v "^$root/tests/platform/" | grep -v "^$root/tests/fixtures/" \
       | grep -v "^$root/bench/sdl_")
if [ -n "$hits" ]; then
  echo "Third-party headers included outside src/platform/:"
  echo "$hits"
  status=1
fi
[ $status = 0 ] && echo "include graph ok"
exit $status
