#!/usr/bin/env bash
# Fails when a file outside src/platform/ includes a header of SDL, SDL_ttf, libxmp, libcurl,
# fontconfig or libpng: those libraries are reached only through the platform layer.
set -u
root=${1:-.}
hits=$(grep -rnE '#\s*include\s*[<"](SDL|SDL2/|xmp\.h|curl/|fontconfig/|png\.h)' \
         "$root/src" "$root/tools" "$root/tests" "$root/bench" "$root/fuzz" 2>/dev/null \
       | grep -v "^$root/src/platform/" | grep -v "^$root/tests/platform/" | grep -v "^$root/bench/sdl_")
if [ -n "$hits" ]; then
  echo "Third-party headers included outside src/platform/:"
  echo "$hits"
  exit 1
fi
echo "layering ok"
