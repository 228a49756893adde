#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a player's
# desktop sees: exactly the expected files under the prefix, the binary
# runnable, the icons of their stated sizes, and the desktop entry and the
# AppStream metadata accepted by their validators (offline).
# Usage: install_tree_test.sh BUILD_DIR APP_ID
set -euo pipefail

build=$1
id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null

# Relative destinations: every file installed lies under the prefix
while IFS= read -r file; do
  case $file in
    "$prefix"/*) ;;
    *) fail "installed outside the prefix: $file" ;;
  esac
done < "$build/install_manifest.txt"

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml
png=share/icons/hicolor/48x48/apps/$id.png
svg=share/icons/hicolor/scalable/apps/$id.svg
expected=$(printf '%s\n' bin/quarvel "$desktop" "$metainfo" "$png" "$svg" | sort)
actual=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
[ "$actual" = "$expected" ] ||
  fail "installed tree differs from the expected one:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

[ -x "$prefix/bin/quarvel" ] || fail "bin/quarvel is not executable"

# The PNG's signature, then width and height as the first 8 bytes of the
# IHDR chunk, big-endian
if [ -f "$prefix/$png" ]; then
  signature=$(od -An -tx1 -N8 "$prefix/$png" | tr -d ' \n')
  [ "$signature" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$prefix/$png")
  width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
  height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
  [ "$width"x"$height" = 48x48 ] || fail "$png is ${width}x${height}, not 48x48"
fi
if [ -f "$prefix/$svg" ]; then
  grep -q '<svg[^>]*viewBox="0 0 48 48"' "$prefix/$svg" || fail "$svg has no 48 x 48 svg root"
fi

# The desktop entry: valid, and starting the installed binary with the
# installed icon from the games menu. The validator prints warnings and
# hints without failing, so any output fails here.
if [ -f "$prefix/$desktop" ]; then
  report=$(desktop-file-validate "$prefix/$desktop" 2>&1) || fail "desktop-file-validate failed"
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  for line in Type=Application Exec=quarvel "Icon=$id" 'Categories=Game;ArcadeGame;'; do
    grep -qxF "$line" "$prefix/$desktop" || fail "$desktop lacks the line $line"
  done
fi

# The metadata: valid on its own, and against the tree (its launchable
# must be the installed desktop entry). Pedantic hints do not fail.
if [ -f "$prefix/$metainfo" ]; then
  appstreamcli validate --no-net --strict "$prefix/$metainfo" >&2 ||
    fail "appstreamcli validate rejects $metainfo"
  appstreamcli validate-tree --no-net --strict "$prefix" >&2 ||
    fail "appstreamcli validate-tree rejects the installed tree"
  grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/$metainfo" ||
    fail "$metainfo does not launch $id.desktop"
  grep -qF '<image>https://' "$prefix/$metainfo" || fail "$metainfo has no screenshot image"
fi

if [ "$failures" -ne 0 ]; then
  echo "install tree: $failures check(s) failed" >&2
  exit 1
fi
echo "install tree: checked $prefix"
