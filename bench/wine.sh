#!/usr/bin/env bash
# The Windows build (quarvel.exe) under Wine beside the Linux build, on the
# X server of the bench run ($DISPLAY), the one after the other in rounds so
# that a burst of load elsewhere falls on both. Prints "NAME VALUE" figures;
# nothing here fails on a time.
#
#   bench/wine.sh WORK LINUX_GAME WINDOWS_EXE STAMPS_LIBRARY SECONDS ROUNDS PACING_SECONDS \
#     LINUX_BARE WINDOWS_BARE
#
# Frame rate: each game idles in its first wave for SECONDS and is asked to
# close (SIGTERM for Linux, WM_CLOSE through taskkill under Wine); the rate
# is its own count, "Frames" over "Time difference". In the same rounds the
# two bare loops (the window each game asks for, only cleared and swapped)
# run SECONDS each: Windows bare over Linux bare is what Wine costs, and
# the games' ratio over it what is left to the Windows game itself. Frame pacing: one idle
# run of PACING_SECONDS each, every buffer swap timestamped: the Linux game
# by the preloaded stamps library (ns), the Windows one by Wine's trace of
# its wglSwapBuffers with +timestamp (whole ms, and the trace itself costs
# a little).
set -euo pipefail

work=$1 linux_game=$2 windows_exe=$3 stamps=$4 seconds=$5 rounds=$6 pacing_seconds=$7
linux_bare=$8 windows_bare=$9
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$work"
note() { printf 'bench: %s\n' "$*" >&2; }

# One prefix for the run, its wineserver kept up with Wine's desktop
# process, so that every start is a warm one.
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES=mscoree,mshtml= WINEDEBUG=-all
explorer_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$explorer_pid" ] && wait "$explorer_pid" 2>/dev/null || true
}
trap cleanup EXIT
wine wineboot -i >"$work/wineboot.log" 2>&1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p
wine explorer.exe /desktop >/dev/null 2>&1 &
explorer_pid=$!

# Starts quarvel.exe with the debug channels CHANNELS, its Wine output to
# FILE, lets it play SECONDS after its window shows, and closes it the
# normal way.
run_windows() { # channels file seconds
  WINEDEBUG=-all,warn+debugstr$1 wine "$windows_exe" 2>"$2" &
  local pid=$! shown=
  for _ in $(seq 200); do
    grep -q 'OutputDebugStringA "DEBUG: SetVSyncState' "$2" 2>/dev/null && { shown=1; break; }
    sleep 0.05
  done
  [ -n "$shown" ] || note "quarvel.exe showed no window in 10 s"
  sleep "$3"
  # Without /F taskkill sends WM_CLOSE to the program's windows
  wine taskkill /IM quarvel.exe >/dev/null 2>&1 || true
  wait "$pid" || true
}

# The Linux game's and the Windows game's own rate, from their DEBUG lines.
rate_of() { # file
  tr -d '\r' <"$1" | sed -e 's/.*OutputDebugStringA "//' -e 's/\\r\\n"$//' |
    awk '/^DEBUG: Frames: / { f = $3 } /^DEBUG: Time difference: / { t = $4 }
         END { if (t > 0) printf "%.1f", f / (t * 0.001) }'
}

# A bare loop's "fps X" line; empty when it printed none.
bare_rate() { # file
  awk '$1 == "fps" { print $2 }' "$1" 2>/dev/null
}

: >"$work/rounds"
for round in $(seq "$rounds"); do
  note "Windows build under Wine, round $round of $rounds: the Linux game, quarvel.exe, the Linux bare loop, the Windows bare loop (${seconds} s each)"
  timeout -s TERM "$(awk -v s="$seconds" 'BEGIN { print s + 0.4 }')" "$linux_game" \
    2>"$work/linux.$round" || true
  run_windows "" "$work/windows.$round" "$seconds"
  "$linux_bare" --seconds "$seconds" >"$work/linux_bare.$round" 2>/dev/null || true
  wine "$windows_bare" --seconds "$seconds" 2>/dev/null | tr -d '\r' >"$work/windows_bare.$round" || true
  echo "$(rate_of "$work/linux.$round") $(rate_of "$work/windows.$round")" \
    "$(bare_rate "$work/linux_bare.$round") $(bare_rate "$work/windows_bare.$round")" >>"$work/rounds"
done
# The median over the rounds of an awk expression of a round's columns:
# $1 Linux game, $2 Windows game, $3 Linux bare loop, $4 Windows bare loop.
median() { # expression format
  awk "NF == 4 && \$1 > 0 && \$3 > 0 { print $1 }" "$work/rounds" | sort -g |
    awk -v f="$2" '{ v[NR] = $1 } END { if (NR == 0) exit
      printf f, NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo "linux_fps $(median '$1' %.1f)"
echo "windows_fps $(median '$2' %.1f)"
echo "windows_over_linux $(median '$2 / $1' %.3f)"
echo "linux_bare_fps $(median '$3' %.1f)"
echo "windows_bare_fps $(median '$4' %.1f)"
# What Wine costs a bare frame, and what the Windows game loses beyond it
echo "windows_bare_over_linux_bare $(median '$4 / $3' %.3f)"
echo "windows_game_share $(median '($2 / $1) / ($4 / $3)' %.3f)"

# Frame times from swap stamps in ms, one per line: the figures pacing.awk
# gives for the Linux runs, for both sides alike.
pacing_of() { # prefix
  sort -g | awk -v p="$1" '{ v[++n] = $1; if ($1 > 16.7) over++ }
    function rank(q,   k) { k = int(q * n + 0.999999); if (k < 1) k = 1; return v[k] }
    END { if (n == 0) exit
      printf "%s_frames %d\n%s_median_ms %.3f\n%s_p99_ms %.3f\n%s_worst_ms %.3f\n%s_over_16_7 %d\n",
        p, n, p, rank(0.5), p, rank(0.99), p, v[n], p, over + 0 }'
}
note "frame pacing, idle first wave for ${pacing_seconds} s: the Linux game, then quarvel.exe"
timeout -s TERM "$pacing_seconds" env LD_PRELOAD="$stamps" QUARVEL_FRAME_STAMPS="$work/stamps" \
  "$linux_game" 2>/dev/null || true
# The stamps library's "frame INDEX CLEAR SWAP_IN SWAP_OUT ..." lines, in ns
awk '$1 == "frame" { if (seen) printf "%.3f\n", ($5 - last) / 1e6; last = $5; seen = 1 }' "$work/stamps" |
  pacing_of linux
run_windows ",+timestamp,trace+wgl" "$work/windows.pacing" "$pacing_seconds"
# 1234.567:0024:trace:wgl:glxdrv_wglSwapBuffers (0x16010045)
awk -F: '/:trace:wgl:[a-z0-9_]*wglSwapBuffers/ { t = $1 * 1000; if (last) printf "%.3f\n", t - last; last = t }' \
  "$work/windows.pacing" | pacing_of windows
