#!/usr/bin/env bash
# Every include in src/ points down the stack of layers (docs/ARCHITECTURE.md):
# a file may include headers of its own layer and of the layers below it,
# never above. The seam's headers (src/platform/*.h) and the shared input
# code never include a backend's; a backend never includes another's,
# except the hidden GL context (offscreen/offscreen_gl.h), which is a
# library of its own that the scripted backend draws into.
#
#   tests/layers/includes_point_down.sh SOURCE_DIR
set -euo pipefail
cd "$1/src"

rank() {
  case $1 in
    math/*) echo 0 ;;
    system/*) echo 1 ;;
    platform/*) echo 2 ;;
    objects/*) echo 3 ;;
    render/*) echo 4 ;;
    world/*) echo 5 ;;
    shell/*) echo 6 ;;
    *) echo "includes_point_down: $1 is in no layer" >&2; echo 99 ;;
  esac
}

# The backend a platform file belongs to, empty for the seam and the
# shared input code.
backend() {
  case $1 in
    platform/*/*) dir=${1#platform/}; echo "${dir%%/*}" ;;
    *) echo "" ;;
  esac
}

wrong=0
while IFS= read -r file; do
  while IFS= read -r included; do
    [ -e "$included" ] || { echo "$file includes $included, which is not in src/"; wrong=1; continue; }
    if [ "$(rank "$included")" -gt "$(rank "$file")" ]; then
      echo "$file includes $included, a layer above it"
      wrong=1
    fi
    to=$(backend "$included")
    [ "$included" = platform/offscreen/offscreen_gl.h ] && to=""
    if [ -n "$to" ] && [ "$to" != "$(backend "$file")" ]; then
      echo "$file includes $included, the inside of another backend"
      wrong=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

[ "$wrong" -eq 0 ] && echo "includes_point_down: every include in src/ points down"
exit "$wrong"
