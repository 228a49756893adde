#!/usr/bin/env bash
# Every include in src/ points down the stack of layers (docs/ARCHITECTURE.md):
# a file may include headers of its own layer and of the layers below it,
# never above. The seam's headers (src/platform/*.h) and the shared input
# code never include a backend's; a backend never includes another's,
# except the hidden GL context (offscreen/offscreen_gl.h), which is a
# library of its own that the scripted backend draws into, and the Linux
# backend's own stack: sdl/ on process/ on x11/.
#
# What each system's headers may reach, by folder name: Xlib only in a
# folder named x11, the Wayland client only in one named wayland, SDL never
# in process/ or x11/ (libraries with no SDL), and SDL_syswm.h, which pulls
# in both X11 and Wayland, only in an x11 or wayland folder.
#
# No circle of files in the platform layer: a file that includes another's
# header (name.h beside name.cpp) uses that file, and no file of a backend
# may come back round to itself. A backend with one header for all its
# files (win32/win32_backend.h) hides its circles from this check.
#
#   tests/layers/includes_point_down.sh SOURCE_DIR
set -euo pipefail
cd "$1/src"

# Every #include of src/, as "file<TAB>"quoted"" or "file<TAB><system>".
includes=$(find . \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort |
  xargs grep -H '^#include [<"]' | sed 's/:#include \([<"][^>"]*[>"]\).*/\t\1/')

awk -F '\t' '
function rank(path) {
  if (path ~ /^math\//) return 0
  if (path ~ /^system\//) return 1
  if (path ~ /^platform\//) return 2
  if (path ~ /^objects\//) return 3
  if (path ~ /^render\//) return 4
  if (path ~ /^world\//) return 5
  if (path ~ /^shell\//) return 6
  print path " is in no layer"
  wrong = 1
  return 99
}
# The backend a platform file belongs to, empty for the seam and the
# shared input code.
function backend(path,    parts) {
  if (path !~ /^platform\/[^\/]+\//) return ""
  split(path, parts, "/")
  return parts[2]
}
function within(path, folder) { return ("/" path) ~ ("/" folder "/") }
{
  file = $1; include = $2
  if (include ~ /^</) {
    header = substr(include, 2, length(include) - 2)
    if (header ~ /^X11\// && !within(file, "x11")) {
      print file " includes " include ", Xlib outside a folder named x11"; wrong = 1
    }
    if (header ~ /^wayland-/ && !within(file, "wayland")) {
      print file " includes " include ", the Wayland client outside a folder named wayland"
      wrong = 1
    }
    if (header ~ /^SDL/ && file ~ /^platform\/(process|x11)\//) {
      print file " includes " include ", SDL in a part of the backend that has none"; wrong = 1
    }
    if (header == "SDL_syswm.h" && !within(file, "x11") && !within(file, "wayland")) {
      print file " includes " include ", X11 and Wayland outside their folders"; wrong = 1
    }
    next
  }
  included = substr(include, 2, length(include) - 2)
  if (!(included in exists)) {
    exists[included] = (system("test -e \"" included "\"") == 0)
  }
  if (!exists[included]) {
    print file " includes " included ", which is not in src/"; wrong = 1; next
  }
  if (rank(included) > rank(file)) {
    print file " includes " included ", a layer above it"; wrong = 1
  }
  to = backend(included); from = backend(file)
  allowed = included == "platform/offscreen/offscreen_gl.h" ||
            (from == "sdl" && (to == "process" || to == "x11")) ||
            (from == "process" && to == "x11")
  if (to != "" && to != from && !allowed) {
    print file " includes " included ", the inside of another backend"; wrong = 1
  }
  # The file that uses the included one, for the circles
  user = file; sub(/\.(h|cpp)$/, "", user)
  used = included; sub(/\.h$/, "", used)
  if (used != user && !(used in source)) source[used] = (system("test -e \"" used ".cpp\"") == 0)
  if (used != user && source[used] && user ~ /^platform\// && used ~ /^platform\//)
    print user, used > "/dev/stderr"
}
END { exit wrong }
' <<<"$includes" 2>"${TMPDIR:-/tmp}/uses.$$" && wrong=0 || wrong=1

# tsort names a circle on stderr and fails
if ! circles=$(tsort "${TMPDIR:-/tmp}/uses.$$" 2>&1 >/dev/null); then
  echo "a circle of files:$(sed -n 's/^tsort: \([^:]*\)$/ \1/p' <<<"$circles" | tr -d '\n')"
  wrong=1
fi
rm -f "${TMPDIR:-/tmp}/uses.$$"

[ "$wrong" -eq 0 ] && echo "includes_point_down: every include in src/ points down"
exit "$wrong"
