#!/usr/bin/env bash
# Installs the build into a temporary prefix, or unpacks its Debian package
# into a temporary root, and checks the tree a player's desktop sees:
# exactly the expected files, the binary runnable, the icons of their stated
# sizes, the desktop entry, the AppStream metadata and the manual page
# accepted by their validators (offline). The package must also satisfy
# lintian and carry the fields and files Debian asks for.
# Usage: install_tree_test.sh BUILD_DIR APP_ID
#        install_tree_test.sh --package BUILD_DIR APP_ID
set -euo pipefail

package=false
if [ "$1" = --package ]; then
  package=true
  shift
fi
build=$1
id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml
png=share/icons/hicolor/48x48/apps/$id.png
svg=share/icons/hicolor/scalable/apps/$id.svg
manpage=share/man/man6/quarvel.6.gz
shared=("$desktop" "$metainfo" "$png" "$svg" "$manpage")

if $package; then
  # The package of the binary already built, made in a folder of its own
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >/dev/null ||
    { echo "FAIL: cpack could not make the package" >&2; exit 1; }
  debs=("$work"/cpack/*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] ||
    { echo "FAIL: cpack made ${#debs[@]} packages, not one" >&2; exit 1; }
  deb=${debs[0]}
  dpkg-deb -x "$deb" "$work/root"
  root=$work/root
  prefix=$root/usr
  bindir=games
  expected=$(printf 'usr/%s\n' games/quarvel "${shared[@]}" \
    share/doc/quarvel/copyright share/doc/quarvel/changelog.gz | sort)
else
  root=$work/prefix
  prefix=$root
  bindir=bin
  cmake --install "$build" --prefix "$prefix" >/dev/null

  # Relative destinations: every file installed lies under the prefix
  while IFS= read -r file; do
    case $file in
      "$prefix"/*) ;;
      *) fail "installed outside the prefix: $file" ;;
    esac
  done < "$build/install_manifest.txt"
  expected=$(printf '%s\n' bin/quarvel "${shared[@]}" | sort)
fi

actual=$(cd "$root" && find . -type f -printf '%P\n' | sort)
[ "$actual" = "$expected" ] ||
  fail "installed tree differs from the expected one:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

[ -x "$prefix/$bindir/quarvel" ] || fail "$bindir/quarvel is not executable"

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
  # Exec names the binary alone: /usr/games and the prefix's bin/ are on PATH
  for line in Type=Application Exec=quarvel "Icon=$id" 'Categories=Game;ArcadeGame;'; do
    grep -qxF "$line" "$prefix/$desktop" || fail "$desktop lacks the line $line"
  done
fi

# The metadata: valid on its own, and against the tree (its launchable
# must be the installed desktop entry), with every info, warning and error
# failing. Pedantic hints do not fail.
#
# The file names its developer as AppStream 1.0 asks (<developer id><name>);
# 1.0 calls the older <developer_name> deprecated, and AppStream 0.16
# (Debian 12) does not know the newer tag and says so as an info, which
# --strict turns into a failure. No one file passes --strict on both, so on
# a validator older than 1.0 that one finding, and only it, is let through.
validate_metadata() {
  local what=$1 report status=0 findings
  shift
  report=$(appstreamcli "$@" 2>&1) || status=$?
  findings=$(grep -E '^ *[EWI]: ' <<<"$report" || true)
  if [ "${appstream_major:-0}" -lt 1 ]; then
    findings=$(grep -vE '^ *I: [^ ]+: unknown-tag developer$' <<<"$findings" || true)
    [ -n "$findings" ] || [ "$status" -ne 3 ] || status=0
  fi
  if [ "$status" -ne 0 ] || [ -n "$findings" ]; then
    echo "$report" >&2
    fail "appstreamcli $what rejects it (exit $status)"
  fi
}
if [ -f "$prefix/$metainfo" ]; then
  appstream_major=$(appstreamcli --version | sed -n 's/^AppStream version: \([0-9]*\)\..*/\1/p')
  [ -n "$appstream_major" ] || fail "appstreamcli --version names no version"
  validate_metadata "validate $metainfo" validate --no-net --strict "$prefix/$metainfo"
  validate_metadata "validate-tree on the installed tree" validate-tree --no-net --strict "$prefix"
  grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/$metainfo" ||
    fail "$metainfo does not launch $id.desktop"
  grep -qF '<image>https://' "$prefix/$metainfo" || fail "$metainfo has no screenshot image"
fi

# The manual page renders with no warning from groff
if [ -f "$prefix/$manpage" ]; then
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/$manpage" 2>&1 >/dev/null) ||
    fail "man could not render $manpage"
  [ -z "$warnings" ] || fail "man --warnings on $manpage: $warnings"
fi

if $package; then
  field() { dpkg-deb -f "$deb" "$1"; }
  version=$(field Version)
  arch=$(dpkg --print-architecture)
  [ "$(basename "$deb")" = "quarvel_${version}_${arch}.deb" ] ||
    fail "package file $(basename "$deb") is not quarvel_${version}_${arch}.deb"
  [ "$(field Package)" = quarvel ] || fail "Package is '$(field Package)'"
  [ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
  [ "$(field Section)" = games ] || fail "Section is '$(field Section)', not games"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  # dpkg-shlibdeps writes version bounds from the libraries' symbols;
  # libgl1, which SDL opens at run time, is named by hand
  depends=$(field Depends)
  for library in 'libc6 (>= ' 'libsdl2-2.0-0' 'libgl1'; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  # What a Wayland desktop needs for the window's frame and the game's boxes
  recommends=$(field Recommends)
  for wanted in 'libdecor-0-plugin-1' 'zenity'; do
    [[ $recommends == *"$wanted"* ]] || fail "Recommends lacks $wanted: $recommends"
  done

  # Every file that names the release names the package's version
  grep -qF "<release version=\"$version\"" "$prefix/$metainfo" ||
    fail "$metainfo has no release $version"
  zcat "$prefix/$manpage" | grep -q "^\.TH QUARVEL 6 .*\"Quarvel $version\"" ||
    fail "$manpage does not name version $version"
  zcat "$prefix/share/doc/quarvel/changelog.gz" | head -n 1 | grep -qF "quarvel ($version)" ||
    fail "changelog.gz does not begin with version $version"
  head -n 1 "$prefix/share/doc/quarvel/copyright" |
    grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in Debian's machine-readable format"

  # lintian as root says so on stderr; its findings go to stdout
  if report=$(lintian --fail-on error,warning "$deb" 2>/dev/null); then
    [ -z "$report" ] || echo "lintian: $report" >&2
  else
    fail "lintian: $report"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "install tree: $failures check(s) failed" >&2
  exit 1
fi
echo "install tree: checked $root"
