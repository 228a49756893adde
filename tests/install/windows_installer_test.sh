#!/usr/bin/env bash
# Packs the Windows build's zip and installer (cpack, in a folder of its
# own) and checks what a player gets: the zip holds exactly the game, the
# guardian of its display mode, README.txt and LICENSE.txt; the installer, run silently (/S) under Wine,
# puts them in Program Files\Quarvel with its uninstaller, a Start-menu
# entry and the uninstall entry Windows lists, and the uninstaller, run
# silently, takes every one of them away again.
# Needs the build's Wine session (tests/windows/wine-session start BUILD).
# Usage: windows_installer_test.sh BUILD_DIR GAME_TARGET VERSION
set -euo pipefail

build=$1
game=$2
version=$3
session=$(dirname "$0")/../windows/wine-session
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

wine_run() {
  bash "$session" run "$build" "$@"
}

cpack -G "ZIP;NSIS" --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; echo "FAIL: cpack could not make the packages" >&2; exit 1; }
name=quarvel-$version-windows-x64
zip=$work/cpack/$name.zip
installer=$work/cpack/$name.exe
[ -f "$zip" ] || { echo "FAIL: no $name.zip" >&2; exit 1; }
[ -f "$installer" ] || { echo "FAIL: no $name.exe" >&2; exit 1; }

# The zip: the four files at its top, nothing else
listed=$(cd "$work" && cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "LICENSE.txt README.txt quarvel-guardian.exe $game.exe " ] ||
  fail "the zip holds: $listed"

prefix=$(bash "$session" prefix "$build")
folder="$prefix/drive_c/Program Files/Quarvel"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarvel"
uninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarvel'
vendorKey='HKLM\Software\The Quarvel developers'

# Nothing of the game there before
[ ! -e "$folder" ] || fail "Program Files\\Quarvel exists before the installation"

wine_run "$installer" /S || fail "the installer ended with $?"
for file in "$game.exe" quarvel-guardian.exe README.txt LICENSE.txt Uninstall.exe; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Quarvel.lnk" ] || fail "no Start-menu entry Quarvel\\Quarvel.lnk"
if wine_run reg query "$uninstallKey" /v DisplayVersion >"$work/key.txt" 2>/dev/null; then
  grep -q "DisplayVersion.*$version" "$work/key.txt" || fail "the uninstall entry is not version $version"
else
  fail "no uninstall entry $uninstallKey"
fi
# The installed game is the one in the zip
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
for program in "$game.exe" quarvel-guardian.exe; do
  cmp -s "$folder/$program" "$work/zip/$program" || fail "the installed $program differs from the zip's"
done

# The uninstaller may copy itself away and return at once (Wine 10 does),
# the copy doing the work: the game's folder first, the Start-menu folder
# last. So wait until both are gone (at most 30 s).
wine_run "$folder/Uninstall.exe" /S || fail "the uninstaller ended with $?"
for _ in $(seq 300); do
  [ ! -e "$folder" ] && [ ! -e "$menu" ] && break
  sleep 0.1
done
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && ls -A | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "left behind: the Start-menu folder"
! wine_run reg query "$uninstallKey" >/dev/null 2>&1 || fail "left behind: $uninstallKey"
! wine_run reg query "$vendorKey" >/dev/null 2>&1 || fail "left behind: $vendorKey"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "zip: $(stat -c %s "$zip") bytes; installer: $(stat -c %s "$installer") bytes; installed and uninstalled"
