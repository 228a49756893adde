#!/usr/bin/env bash
# make bench: runs every benchmark of the game on this machine and prints a
# table, then one line of JSON with every figure and ratio. Figures only:
# nothing here fails on a time. Each comparison is made inside this one
# run, so that the load of a shared machine weighs on both sides.
#
#   bench/run.sh [BUILD_DIR]
#
# Settings (environment):
#   BENCH_PLAY_SECONDS   play time for the game's peak memory (60)
#   BENCH_FPS_SECONDS    seconds of each frame-rate run (2)
#   BENCH_FPS_ROUNDS     rounds of bare loop, yielding bare loop, game (6)
#   BENCH_STARTUP_RUNS   starts of the game for the start-up time (5)
#   BENCH_SIM_FRAMES     frames of the long quarvel-sim run (1000000); the
#                        short one runs a tenth of them
#   BENCH_PACING_WAVES_SECONDS  play of the first waves, swaps timestamped (14)
#   BENCH_PACING_HEAVY_SECONDS  play of the heavy scene, swaps timestamped (20)
#   BENCH_WINDOWS_EXE    the Windows build's game (build-windows/quarvel.exe)
#   BENCH_WINE_PACING_SECONDS  idle play of each build for frame pacing (10)
#   BENCH_WEB_SITE       the browser build's page (build-web/site)
#   BENCH_WEB_SECONDS    play of the first waves in headless Chromium, at
#                        each pace (10)
#   BENCH_PACING_PNG     where the frame-time plot goes
#                        (BUILD_DIR/bench/frame-pacing.png)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
play_seconds=${BENCH_PLAY_SECONDS:-60}
fps_seconds=${BENCH_FPS_SECONDS:-2}
fps_rounds=${BENCH_FPS_ROUNDS:-6}
startup_runs=${BENCH_STARTUP_RUNS:-5}
sim_frames=${BENCH_SIM_FRAMES:-1000000}
pacing_waves_seconds=${BENCH_PACING_WAVES_SECONDS:-14}
pacing_heavy_seconds=${BENCH_PACING_HEAVY_SECONDS:-20}
pacing_png=${BENCH_PACING_PNG:-$build/bench/frame-pacing.png}

game=$build/quarvel
sim=$build/tools/quarvel-sim
bare=$build/bench/quarvel-bare-loop
probe=$build/bench/quarvel-probe
micro=$build/bench/quarvel-bench
compositor_pace=$build/bench/quarvel-compositor-pace
stamps=$build/bench/libquarvel-frame-stamps.so
for program in "$game" "$sim" "$bare" "$probe" "$micro" "$compositor_pace"; do
  if [ ! -x "$program" ]; then
    echo "bench: $program is missing; build first (make bench builds it)" >&2
    exit 1
  fi
done
if [ ! -f "$stamps" ]; then
  echo "bench: $stamps is missing; build first (make bench builds it)" >&2
  exit 1
fi
command -v gnuplot >/dev/null || { echo "bench: gnuplot is missing (scripts/install-deps installs gnuplot-nox)" >&2; exit 1; }

# The load before this run adds its own: how busy the machine was anyway.
load_start=$(cut -d' ' -f1 /proc/loadavg)
work=$(mktemp -d /tmp/quarvel-bench-XXXXXX)
xvfb_pid=
play_pid=
cleanup() {
  if [ -n "$play_pid" ]; then
    kill "$play_pid" 2>/dev/null || true
    wait "$play_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

note() { printf 'bench: %s\n' "$*" >&2; }

# --- The X server ---------------------------------------------------------
# Xvfb picks the first free display itself and writes its number to fd 3
# once it takes connections. A black root (-br) lets the start-up probe
# see the first frame arrive.
Xvfb -displayfd 3 -screen 0 800x600x24 -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "bench: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
[ -s "$work/display" ] || { echo "bench: Xvfb gave no display within 10 s" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
note "Xvfb on $DISPLAY (800x600x24, llvmpipe)"

# "NAME VALUE" lines of a figures file: the value of NAME.
figure() { awk -v k="$1" '$1 == k { print $2; exit }' "$2"; }
# Stops the run when a program gave no figure NAME: its output says why.
require() {
  if [ -z "$(figure "$1" "$2")" ]; then
    echo "bench: $3 printed no $1:" >&2
    cat "${4:-$2}" >&2
    exit 1
  fi
}
# a / b with 3 decimals ("null" when either is missing or b is 0).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "null"; else printf "%.3f", a / b }'; }

# --- Frame rate: the game against the bare loop --------------------------
# Short rounds of bare loop, yielding bare loop and game, one after the
# other, so that a burst of load elsewhere falls on all three; the medians
# over the rounds are kept, and the ratio is the median of each round's.
# The game counts its frames from its first frame to the SIGTERM; it is
# given its start-up time on top of the measured seconds.
: >"$work/fps.rounds"
for round in $(seq "$fps_rounds"); do
  note "frame rate, round $round of $fps_rounds: bare loop, yielding bare loop, game (${fps_seconds} s each)"
  "$bare" --seconds "$fps_seconds" >"$work/bare.$round"
  require fps "$work/bare.$round" "the bare loop"
  "$bare" --seconds "$fps_seconds" --yield >"$work/yield.$round"
  require fps "$work/yield.$round" "the bare loop"
  timeout -s TERM "$(awk -v s="$fps_seconds" 'BEGIN { print s + 0.4 }')" "$game" \
    2>"$work/game.$round" || true
  tr -d '\r' <"$work/game.$round" | sed -n 's/^DEBUG: \(Frames\|Time difference\): /\1 /p' \
    | sed 's/^Time difference/ms/;s/^Frames/frames/' >"$work/game.$round.fig"
  require frames "$work/game.$round.fig" "the game" "$work/game.$round"
  game_round=$(awk '$1 == "frames" { f = $2 } $1 == "ms" { t = $2 }
                    END { printf "%.1f", f / (t * 0.001) }' "$work/game.$round.fig")
  echo "$(figure fps "$work/bare.$round") $(figure fps "$work/yield.$round") $game_round" \
    >>"$work/fps.rounds"
done
# The median of column COLUMN of the rounds; with COLUMN "r" and "ry", the
# median of game / bare and game / yielding bare.
median_of() {
  awk -v c="$1" '{ print (c == "r" ? $3 / $1 : c == "ry" ? $3 / $2 : $c) }' "$work/fps.rounds" \
    | sort -g | awk -v c="$1" '{ v[NR] = $1 }
        END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              printf (c ~ /^r/ ? "%.3f" : "%.1f"), m }'
}
fps_bare=$(median_of 1)
fps_bare_yield=$(median_of 2)
fps_game=$(median_of 3)
fps_ratio=$(median_of r)
fps_ratio_yield=$(median_of ry)
fps_ratio_range=$(awk '{ r = $3 / $1; if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r }
  END { printf "%.2f-%.2f", lo, hi }' "$work/fps.rounds")

# --- The Windows build under Wine -------------------------------------------
# quarvel.exe from the Windows build (make windows) beside this build's game,
# on this X server: frame rate in rounds and idle frame pacing
# (bench/wine.sh). Skipped, with its figures null, without it or Wine.
windows_exe=${BENCH_WINDOWS_EXE:-$here/../build-windows/quarvel.exe}
wine_pacing_seconds=${BENCH_WINE_PACING_SECONDS:-10}
: >"$work/wine.fig"
if [ -f "$windows_exe" ] && command -v wine >/dev/null; then
  bash "$here/wine.sh" "$work/wine" "$game" "$windows_exe" "$stamps" "$fps_seconds" \
    "$fps_rounds" "$wine_pacing_seconds" "$bare" "$(dirname "$windows_exe")/quarvel-bare-loop.exe" \
    >"$work/wine.fig" ||
    note "the Windows build's runs under Wine ended badly; its figures may be missing"
else
  note "no $windows_exe or no Wine: the Windows build is not measured (make windows)"
fi
wine_fig() { figure "$1" "$work/wine.fig"; }

# --- The browser build -------------------------------------------------------
# The page (make web) in headless Chromium, WebGL on SwiftShader: the first
# waves at the display's pace (requestAnimationFrame) and with the
# zero-delay loop (F2), frame times between the frames the page was given
# to show (bench/web.js); and what a player downloads, gzipped as a web
# server sends it. Skipped, with its figures null, without the build,
# chromium or node.
web_site=${BENCH_WEB_SITE:-$here/../build-web/site}
web_seconds=${BENCH_WEB_SECONDS:-10}
: >"$work/web.fig"
if [ -f "$web_site/quarvel.wasm" ] && command -v node >/dev/null && command -v chromium >/dev/null; then
  note "the page in headless Chromium: the first waves for ${web_seconds} s at each pace"
  node "$here/web.js" "$web_site" "$web_seconds" >"$work/web.fig" 2>"$work/web.err" ||
    note "the page's run ended badly: $(tail -n1 "$work/web.err")"
  for file in quarvel.wasm quarvel.js; do
    echo "gzip_${file#quarvel.} $(gzip -9c "$web_site/$file" | wc -c)" >>"$work/web.fig"
  done
else
  note "no $web_site/quarvel.wasm, node or chromium: the page is not measured (make web)"
fi
web_fig() { figure "$1" "$work/web.fig"; }
web_kib() { awk -v b="$1" 'BEGIN { if (b != "") printf "%.1f", b / 1024 }'; }
web_gzip_kib=$(web_kib "$(awk '$1 ~ /^gzip_/ { t += $2 } END { if (NR) print t }' "$work/web.fig")")

# --- Frame pacing ----------------------------------------------------------
# The real game, unchanged, with every buffer swap timestamped from outside
# (libquarvel-frame-stamps.so, preloaded), played through XTest: the first
# waves in the autoplay rhythm (the first shield at 6 s, F1 to a window at
# 9 s and back at 11 s), then the heaviest play found (firing as fast as
# the bullets allow while turning). bench/pacing.awk makes the figures and
# marks the events from the stamps: the first frame that draws the shield's
# sphere, the first that lights an explosion light (the first rock hit)
# and the frames that span each F1's window re-creation.
note "frame pacing: the first waves for ${pacing_waves_seconds} s, the heavy scene for ${pacing_heavy_seconds} s"
mkdir -p "$work/pacing"
pacing_run() { # name script seconds [probe options]
  local name=$1 script=$2 seconds=$3
  shift 3
  "$probe" pace --script "$script" --seconds "$seconds" "$@" \
    --events "$work/pacing/events.$name" --stderr "$work/pacing/err.$name" -- \
    env LD_PRELOAD="$stamps" QUARVEL_FRAME_STAMPS="$work/pacing/stamps.$name" "$game" \
    || note "the $name pacing run ended badly; see its figures below"
  awk -v series="$work/pacing/series.$name" -v marks="$work/pacing/marks.$name" \
    -f "$here/pacing.awk" "$work/pacing/stamps.$name" "$work/pacing/events.$name" \
    >"$work/pacing/fig.$name" 2>/dev/null || true
  require median_ms "$work/pacing/fig.$name" "the $name pacing run" "$work/pacing/err.$name"
}
pacing_run waves waves "$pacing_waves_seconds" --f1 9
pacing_run spray spray "$pacing_heavy_seconds"
# The same first waves on a Wayland desktop: a headless mutter (GNOME's
# compositor, one 1280x1024 output) of the run's own, the game natively on
# SDL's Wayland driver (keys through mutter's RemoteDesktop D-Bus API) and
# through mutter's XWayland (keys through XTest). Figures beside Xvfb's
# above, not goals; skipped when mutter is not installed.
compositor_ways=
compositor_pacing_run() { # name way [compositor-pace options]
  local name=$1 way=$2 status=0
  shift 2
  "$compositor_pace" --way "$way" --seconds "$pacing_waves_seconds" "$@" \
    --events "$work/pacing/events.$name" --stderr "$work/pacing/err.$name" \
    --preload "$stamps" --stamps "$work/pacing/stamps.$name" \
    2>"$work/pacing/probe.$name" || status=$?
  if [ "$status" = 2 ]; then
    note "mutter is not installed: no Wayland figures (scripts/install-deps installs it)"
    return 2
  fi
  [ "$status" = 0 ] || note "the $name pacing run on mutter ended badly; see its figures below"
  awk -v series="$work/pacing/series.$name" -v marks="$work/pacing/marks.$name" \
    -f "$here/pacing.awk" "$work/pacing/stamps.$name" "$work/pacing/events.$name" \
    >"$work/pacing/fig.$name" 2>/dev/null || true
  require median_ms "$work/pacing/fig.$name" "the $name pacing run on mutter" "$work/pacing/probe.$name"
}
note "frame pacing on mutter: the first waves natively and through XWayland, ${pacing_waves_seconds} s each"
compositor_pacing_run mutter_native native --f1 9 && compositor_ways="$compositor_ways mutter_native"
compositor_pacing_run mutter_xwayland xwayland --f1 9 && compositor_ways="$compositor_ways mutter_xwayland"
# The same first waves natively on mutter's one output at three sizes:
# 800x600, where the picture is the game's own; 1920x1080, where full
# screen is the output's own size and the 4:3 picture 1440x1080 inside it;
# 2560x1440 at scale 2, drawn at the device pixels (1920x1440 of picture).
# What drawing more pixels costs llvmpipe, with no F1 in the way.
screen_sizes=
if [ -n "$compositor_ways" ]; then
  note "the first waves on mutter natively at 800x600, 1920x1080 and 2560x1440 at scale 2, ${pacing_waves_seconds} s each"
  for size in 800x600:1 1920x1080:1 2560x1440:2; do
    compositor_pacing_run "screen_${size/:/_}" native --f1 0 --output "${size%:*}" --scale "${size#*:}" &&
      screen_sizes="$screen_sizes ${size/:/_}"
  done
fi
mkdir -p "$(dirname "$pacing_png")"
gnuplot -e "out='$pacing_png'; dir='$work/pacing'; title='Quarvel frame times under Xvfb + llvmpipe, $(date -u +%Y-%m-%d), load $(cut -d' ' -f1 /proc/loadavg)'" \
  "$here/pacing.gp"
note "frame-time plot: $pacing_png"
pace() { figure "$2" "$work/pacing/fig.$1"; }

# --- Start-up --------------------------------------------------------------
note "start-up: the game $startup_runs times, and the bare loop full screen and windowed as the floor"
"$probe" startup --runs "$startup_runs" --stderr "$work/startup.err" -- "$game" >"$work/startup"
"$probe" startup --runs "$startup_runs" --stderr "$work/startup.err" -- \
  "$bare" --grey --seconds 0.2 >"$work/startup.bare"
"$probe" startup --runs "$startup_runs" --stderr "$work/startup.err" -- \
  "$bare" --grey --seconds 0.2 --windowed >"$work/startup.bare.windowed"
startup_ms=$(figure startup_frame_ms "$work/startup")
startup_map_ms=$(figure startup_map_ms "$work/startup")
startup_bare_ms=$(figure startup_frame_ms "$work/startup.bare")
startup_bare_windowed_ms=$(figure startup_frame_ms "$work/startup.bare.windowed")

# The same start-up under a window manager (openbox), as on a player's
# desktop: without one, SDL waits for an answer to its full-screen request
# that never comes.
note "start-up: the game $startup_runs times under openbox"
openbox --sm-disable 2>"$work/openbox.log" &
wm_pid=$!
# openbox owns the WM_S0 selection once it manages the screen
for _ in $(seq 50); do
  "$probe" has-window-manager && break
  sleep 0.1
done
"$probe" startup --runs "$startup_runs" --stderr "$work/startup.err" -- "$game" >"$work/startup.wm"
kill "$wm_pid" 2>/dev/null || true
wait "$wm_pid" 2>/dev/null || true
startup_wm_ms=$(figure startup_frame_ms "$work/startup.wm")
startup_wm_map_ms=$(figure startup_map_ms "$work/startup.wm")

# --- The game's own code under Google Benchmark ----------------------------
# Three repetitions, the medians kept. The update pass and its baselines
# run on one core and are read in CPU time; drawing also runs llvmpipe's
# threads, so it and the font are read in wall-clock time.
note "update, draw and font passes (Google Benchmark, 3 repetitions)"
"$micro" --benchmark_repetitions=3 --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/micro.csv" --benchmark_out_format=csv \
  >"$work/micro.txt" 2>"$work/micro.err"

# Column COLUMN of the median row of benchmark NAME, times in microseconds.
micro() {
  awk -F, -v name="\"$1_median\"" -v col="$2" '
    NR == 1 || $1 == "name" { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); c[h] = i } next }
    $1 == name {
      v = $c[col]
      if (col ~ /_time$/) {
        u = $c["time_unit"]
        v *= (u == "ns" ? 0.001 : u == "ms" ? 1000 : u == "s" ? 1e6 : 1)
      }
      printf (col ~ /_time$/ ? "%.1f" : "%.10g"), v; exit
    }' "$work/micro.csv"
}
# The header of the CSV is the line that starts with "name".
sed -i -n '/^name,/,$p' "$work/micro.csv"

update_us=$(micro BM_UpdateWorldHeavy cpu_time)
vertices=$(micro BM_UpdateWorldHeavy vertices)
passes=$(micro BM_UpdateWorldHeavy passes)
baseline_us=$(micro BM_TransformPointsBaseline cpu_time)
inplace_us=$(micro BM_TransformSceneInPlace cpu_time)
ns_per_vertex=$(awk -v t="$update_us" -v n="$vertices" 'BEGIN { printf "%.3f", t * 1000 / n }')
baseline_ns=$(awk -v t="$baseline_us" -v n="$(micro BM_TransformPointsBaseline vertices)" \
  'BEGIN { printf "%.3f", t * 1000 / n }')
inplace_ns=$(awk -v t="$inplace_us" -v n="$(micro BM_TransformSceneInPlace vertices)" \
  'BEGIN { printf "%.3f", t * 1000 / n }')
update_ratio=$(ratio "$ns_per_vertex" "$baseline_ns")
update_pass_us=$(awk -v t="$update_us" -v p="$passes" 'BEGIN { printf "%.1f", t / p }')
vertices_per_pass=$(awk -v n="$vertices" -v p="$passes" 'BEGIN { printf "%d", n / p }')
update_first_us=$(micro BM_UpdateWorldFirstWave cpu_time)
rocks=$(micro BM_UpdateWorldHeavy rocks)
fragments=$(micro BM_UpdateWorldHeavy fragments)
objects=$(micro BM_UpdateWorldHeavy objects)

draw_heavy_us=$(micro BM_DrawWorldHeavy/real_time real_time)
draw_first_us=$(micro BM_DrawWorldFirstWave/real_time real_time)
clear_us=$(micro BM_ClearOnly/real_time real_time)
part_lights_us=$(micro BM_DrawFirstWavePart/lights/real_time real_time)
part_stars_us=$(micro BM_DrawFirstWavePart/stars/real_time real_time)
part_rocks_us=$(micro BM_DrawFirstWavePart/rocks/real_time real_time)
part_ship_us=$(micro BM_DrawFirstWavePart/ship/real_time real_time)
part_score_us=$(micro BM_DrawFirstWavePart/score/real_time real_time)
heavy_no_lights_us=$(micro BM_DrawWithout/heavy_lights/real_time real_time)
heavy_no_blend_us=$(micro BM_DrawWithout/heavy_blend/real_time real_time)
first_no_lights_us=$(micro BM_DrawWithout/first_lights/real_time real_time)
first_no_blend_us=$(micro BM_DrawWithout/first_blend/real_time real_time)
first_no_smooth_us=$(micro BM_DrawWithout/first_point_smooth/real_time real_time)
font_warm_ms=$(awk -v t="$(micro BM_CreateTextFontWarm/real_time real_time)" 'BEGIN { printf "%.2f", t / 1000 }')
font_cold_ms=$(awk '$1 == "cold" && $2 == "font_ms" { print $3 }' "$work/micro.txt")
context_cold_ms=$(awk '$1 == "cold" && $2 == "gl_context_ms" { print $3 }' "$work/micro.txt")
first_draw_cold_ms=$(awk '$1 == "cold" && $2 == "first_draw_ms" { print $3 }' "$work/micro.txt")

# --- Peak memory -----------------------------------------------------------
# The game is played through XTest; meanwhile quarvel-sim runs headless
# (no figure here is a time, so the two may share the machine).
note "peak memory: the game played for ${play_seconds} s; quarvel-sim over $sim_frames and $((sim_frames / 10)) frames meanwhile"
"$probe" play --seconds "$play_seconds" --sample 10 --stderr "$work/play.err" -- "$game" \
  >"$work/play" &
play_pid=$!
"$probe" peak --stdout "$work/sim.long.out" --stderr /dev/null -- \
  "$sim" --frames "$sim_frames" --random-keys 0.05 >"$work/sim.long"
"$probe" peak --stdout "$work/sim.short.out" --stderr /dev/null -- \
  "$sim" --frames "$((sim_frames / 10))" --random-keys 0.05 >"$work/sim.short"
wait "$play_pid" || note "the play run ended badly; see its figures below"
play_pid=
game_peak_kb=$(figure peak_rss_kb "$work/play")
game_hwm_first_kb=$(awk '$1 == "hwm_kb_at_s" { print $3; exit }' "$work/play")
sim_long_kb=$(figure peak_rss_kb "$work/sim.long")
sim_short_kb=$(figure peak_rss_kb "$work/sim.short")
sim_growth=$(ratio "$sim_long_kb" "$sim_short_kb")
max_objects() { sed -n 's/.*"maxObjects":\([0-9]*\).*/\1/p' "$1"; }
sim_long_objects=$(max_objects "$work/sim.long.out")
sim_short_objects=$(max_objects "$work/sim.short.out")

# --- Report ----------------------------------------------------------------
verdict() { # value goal-kind bound
  awk -v v="$1" -v k="$2" -v b="$3" 'BEGIN {
    if (v == "" || v == "null") print "?"
    else if (k == "min") print (v + 0 >= b ? "met" : "MISSED")
    else print (v + 0 <= b ? "met" : "MISSED") }'
}
row() { printf '%-52s %10s %-8s %s\n' "$1" "$2" "$3" "$4"; }
echo
echo "Quarvel benchmarks  $(date -u +%Y-%m-%dT%H:%M:%SZ)  nproc $(nproc)  load before $load_start, after $(cut -d' ' -f1 /proc/loadavg)"
row "figure" "value" "unit" "goal"
row "bare SDL loop, clear + swap (Xvfb, median)" "$fps_bare" "fps" ""
row "bare SDL loop yielding after each swap" "$fps_bare_yield" "fps" ""
row "quarvel, first wave (Xvfb)" "$fps_game" "fps" ""
row "  game / bare loop (rounds: $fps_ratio_range)" "$fps_ratio" "" ">= 0.8 $(verdict "$fps_ratio" min 0.8)"
row "  game / yielding bare loop" "$fps_ratio_yield" "" ""
row "update pass, first wave" "$update_first_us" "us/pass" ""
row "update pass, heavy scene ($objects objects)" "$update_pass_us" "us/pass" ""
row "  per transformed vertex ($vertices_per_pass/pass)" "$ns_per_vertex" "ns" ""
row "  one Matrix4 over a packed array" "$baseline_ns" "ns" ""
row "  one Matrix4 over the scene's own arrays" "$inplace_ns" "ns" ""
row "  update / packed baseline" "$update_ratio" "" "<= 2 $(verdict "$update_ratio" max 2)"
row "draw pass, heavy scene ($rocks rocks, $fragments fragments)" "$draw_heavy_us" "us" ""
row "  the same without the explosion lights" "$heavy_no_lights_us" "us" ""
row "  the same without blending" "$heavy_no_blend_us" "us" ""
row "draw pass, first wave" "$draw_first_us" "us" ""
row "  the same without the explosion lights" "$first_no_lights_us" "us" ""
row "  the same without blending" "$first_no_blend_us" "us" ""
row "  the same without point smoothing" "$first_no_smooth_us" "us" ""
row "  clear only" "$clear_us" "us" ""
row "  clear + lights" "$part_lights_us" "us" ""
row "  clear + lights + stars" "$part_stars_us" "us" ""
row "  clear + lights + rocks" "$part_rocks_us" "us" ""
row "  clear + lights + ship" "$part_ship_us" "us" ""
row "  clear + lights + score text" "$part_score_us" "us" ""
row "start-up: exec to first frame on screen" "$startup_ms" "ms" "< 150 $(verdict "$startup_ms" max 150)"
row "  exec to window mapped" "$startup_map_ms" "ms" ""
row "  under a window manager (openbox), exec to first frame" "$startup_wm_ms" "ms" ""
row "  under a window manager (openbox), exec to window mapped" "$startup_wm_map_ms" "ms" ""
row "  bare loop, exec to first frame" "$startup_bare_ms" "ms" ""
row "  bare loop in a window, exec to first frame" "$startup_bare_windowed_ms" "ms" ""
row "  GL context, first in a process (offscreen)" "$context_cold_ms" "ms" ""
row "  font, first in a process" "$font_cold_ms" "ms" ""
row "  font, again" "$font_warm_ms" "ms" ""
row "  first DrawWorld in a process" "$first_draw_cold_ms" "ms" ""
row "peak memory, quarvel played ${play_seconds} s" "$game_peak_kb" "KiB" ""
row "  after the first 10 s" "$game_hwm_first_kb" "KiB" ""
row "peak memory, quarvel-sim $sim_frames frames" "$sim_long_kb" "KiB" "flat"
row "peak memory, quarvel-sim $((sim_frames / 10)) frames" "$sim_short_kb" "KiB" ""
row "  long / short" "$sim_growth" "" "~1"
for run in waves spray; do
  label=$([ $run = waves ] && echo "first waves" || echo "heavy scene")
  row "frame pacing, $label ($(pace $run frames) frames)" "$(pace $run median_ms)" "ms" "median"
  row "  99th / 99.9th percentile" "$(pace $run p99_ms) / $(pace $run p999_ms)" "ms" ""
  row "  worst frame (frame $(pace $run worst_frame))" "$(pace $run worst_ms)" "ms" ""
  row "  frames over 16.7 ms / over twice the median" "$(pace $run over_16_7) / $(pace $run over_2x_median)" "" ""
  row "  most glBegin in a frame / lit explosion lights" "$(pace $run most_begins) / $(pace $run most_lit)" "" ""
  row "  first frame, glClear to swap / the swap" "$(pace $run first_frame_draw_ms) / $(pace $run first_frame_swap_ms)" "ms" ""
  if [ -n "$(pace $run explosion_frame)" ]; then
    row "  first explosion (frame $(pace $run explosion_frame))" "$(pace $run explosion_ms)" "ms" ""
  fi
  if [ -n "$(pace $run shield_frame)" ]; then
    row "  first shield (frame $(pace $run shield_frame))" "$(pace $run shield_ms)" "ms" ""
  fi
  if [ -n "$(pace $run f1_out_frame)" ]; then
    row "  F1 to a window / back (the frame spanning it)" "$(pace $run f1_out_ms) / $(pace $run f1_back_ms)" "ms" ""
  fi
done
# frames a second of a pacing run
fps_of() { awk -v f="$(pace $1 frames)" -v s="$(pace $1 seconds)" 'BEGIN { if (s > 0) printf "%.0f", f / s }'; }
if [ -n "$compositor_ways" ]; then
  row "first waves under Xvfb (X11), beside mutter's" "$(fps_of waves)" "fps" ""
fi
for run in $compositor_ways; do
  label=$([ $run = mutter_native ] && echo "natively" || echo "through XWayland")
  row "first waves on mutter $label ($(pace $run frames) frames)" "$(fps_of $run)" "fps" ""
  row "  frame time median / 99th / 99.9th" "$(pace $run median_ms) / $(pace $run p99_ms) / $(pace $run p999_ms)" "ms" ""
  row "  worst frame (ms) / frames over 16.7 ms" "$(pace $run worst_ms) / $(pace $run over_16_7)" "" ""
  row "  F1 to a window / back (the frame spanning it)" "$(pace $run f1_out_ms) / $(pace $run f1_back_ms)" "ms" ""
done
# the median of one span of a run's frames, in ms: glClear to the swap
# (handing the frame to llvmpipe) or the swap itself (llvmpipe drawing it,
# and waiting for the compositor to take it)
stamp_median() { # run draw|swap
  awk -v span="$2" '$1 == "frame" && $3 > 0 { print (span == "draw" ? $4 - $3 : $5 - $4) / 1e6 }' \
    "$work/pacing/stamps.$1" | sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.2f", v[int((NR + 1) / 2)] }'
}
for size in $screen_sizes; do
  scale=${size#*_}
  label="${size%_*}$([ "$scale" = 1 ] || echo " at scale $scale")"
  row "first waves on mutter natively, output $label" "$(fps_of screen_$size)" "fps" ""
  row "  frame time median / 99th" "$(pace screen_$size median_ms) / $(pace screen_$size p99_ms)" "ms" ""
  row "  median glClear to swap / the swap" "$(stamp_median screen_$size draw) / $(stamp_median screen_$size swap)" "ms" ""
  if [ "$size" != 800x600_1 ] && [ -n "$(fps_of screen_800x600_1)" ]; then
    row "  frame time beside 800x600" \
      "$(awk -v a="$(pace screen_$size median_ms)" -v b="$(pace screen_800x600_1 median_ms)" 'BEGIN { if (b > 0) printf "%.2f", a / b }')" "x" ""
  fi
done
row "  frame-time plot" "$(basename "$pacing_png")" "" ""
for pace_name in raf free; do
  label=$([ $pace_name = raf ] && echo "one frame per refresh (rAF)" || echo "as fast as it draws (F2)")
  row "page in headless Chromium, first waves, $label" "$(web_fig ${pace_name}_fps)" "fps" ""
  row "  frame time median / 99th / worst" "$(web_fig ${pace_name}_median_ms) / $(web_fig ${pace_name}_p99_ms) / $(web_fig ${pace_name}_worst_ms)" "ms" ""
done
row "  quarvel natively, first waves: median / 99th" "$(pace waves median_ms) / $(pace waves p99_ms)" "ms" ""
row "page download, wasm + js gzipped" "$web_gzip_kib" "KiB" ""
row "  wasm / js" "$(web_kib "$(web_fig gzip_wasm)") / $(web_kib "$(web_fig gzip_js)")" "KiB" ""
row "quarvel.exe under Wine, first wave (Xvfb)" "$(wine_fig windows_fps)" "fps" ""
row "  quarvel in the same rounds" "$(wine_fig linux_fps)" "fps" ""
row "  Windows / Linux" "$(wine_fig windows_over_linux)" "" ""
row "bare Win32 loop under Wine, clear + swap (same rounds)" "$(wine_fig windows_bare_fps)" "fps" ""
row "  bare SDL loop in the same rounds" "$(wine_fig linux_bare_fps)" "fps" ""
row "  Windows bare / Linux bare: what Wine costs" "$(wine_fig windows_bare_over_linux_bare)" "" ""
row "  (Windows / Linux) over it: the Windows game's own share" "$(wine_fig windows_game_share)" "" ""
for side in windows linux; do
  label=$([ $side = windows ] && echo "quarvel.exe under Wine" || echo "quarvel")
  row "frame pacing, idle, $label ($(wine_fig ${side}_frames) frames)" "$(wine_fig ${side}_median_ms)" "ms" "median"
  row "  99th percentile / worst" "$(wine_fig ${side}_p99_ms) / $(wine_fig ${side}_worst_ms)" "ms" ""
  row "  frames over 16.7 ms" "$(wine_fig ${side}_over_16_7)" "" ""
done
echo

num() { [ -n "$1" ] && echo "$1" || echo null; }
cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1 | tr -d '"\\')
printf '{"machine":{"nproc":%s,"cpu":"%s","load1_before":%s,"load1_after":%s},' \
  "$(nproc)" "$cpu_model" "$load_start" "$(cut -d' ' -f1 /proc/loadavg)"
printf '"fps":{"bare":%s,"bare_yield":%s,"game":%s,"ratio":%s,"ratio_range":"%s","ratio_vs_yield":%s,"goal_min":0.8,"seconds":%s,"rounds":%s},' \
  "$(num "$fps_bare")" "$(num "$fps_bare_yield")" "$(num "$fps_game")" "$fps_ratio" "$fps_ratio_range" \
  "$fps_ratio_yield" "$fps_seconds" "$fps_rounds"
printf '"update":{"first_wave_us_per_pass":%s,"us_per_pass":%s,"vertices_per_pass":%s,"objects":%s,"rocks":%s,"fragments":%s,"ns_per_vertex":%s,"baseline_ns_per_vertex":%s,"in_place_ns_per_vertex":%s,"ratio":%s,"goal_max":2},' \
  "$(num "$update_first_us")" "$(num "$update_pass_us")" "$(num "$vertices_per_pass")" "$(num "$objects")" "$(num "$rocks")" "$(num "$fragments")" \
  "$(num "$ns_per_vertex")" "$(num "$baseline_ns")" "$(num "$inplace_ns")" "$update_ratio"
printf '"draw":{"heavy_us":%s,"heavy_no_lights_us":%s,"heavy_no_blend_us":%s,"first_wave_us":%s,"first_no_lights_us":%s,"first_no_blend_us":%s,"first_no_point_smooth_us":%s,"clear_us":%s,"lights_us":%s,"stars_us":%s,"rocks_us":%s,"ship_us":%s,"score_us":%s},' \
  "$(num "$draw_heavy_us")" "$(num "$heavy_no_lights_us")" "$(num "$heavy_no_blend_us")" \
  "$(num "$draw_first_us")" "$(num "$first_no_lights_us")" "$(num "$first_no_blend_us")" "$(num "$first_no_smooth_us")" \
  "$(num "$clear_us")" "$(num "$part_lights_us")" \
  "$(num "$part_stars_us")" "$(num "$part_rocks_us")" "$(num "$part_ship_us")" "$(num "$part_score_us")"
printf '"startup":{"first_frame_ms":%s,"map_ms":%s,"wm_first_frame_ms":%s,"wm_map_ms":%s,"bare_first_frame_ms":%s,"bare_windowed_first_frame_ms":%s,"gl_context_cold_ms":%s,"font_cold_ms":%s,"font_warm_ms":%s,"first_draw_cold_ms":%s,"goal_max_ms":150},' \
  "$(num "$startup_ms")" "$(num "$startup_map_ms")" "$(num "$startup_wm_ms")" "$(num "$startup_wm_map_ms")" "$(num "$startup_bare_ms")" "$(num "$startup_bare_windowed_ms")" "$(num "$context_cold_ms")" \
  "$(num "$font_cold_ms")" "$(num "$font_warm_ms")" "$(num "$first_draw_cold_ms")"
pacing_json() { # run
  printf '{"frames":%s,"median_ms":%s,"p99_ms":%s,"p999_ms":%s,"worst_ms":%s,"worst_frame":%s,"over_16_7ms":%s,"over_2x_median":%s,"most_begins":%s,"most_lit":%s,"first_frame_draw_ms":%s,"first_frame_swap_ms":%s,"explosion_frame":%s,"explosion_ms":%s,"shield_frame":%s,"shield_ms":%s,"f1_out_ms":%s,"f1_back_ms":%s}' \
    "$(num "$(pace $1 frames)")" "$(num "$(pace $1 median_ms)")" "$(num "$(pace $1 p99_ms)")" "$(num "$(pace $1 p999_ms)")" \
    "$(num "$(pace $1 worst_ms)")" "$(num "$(pace $1 worst_frame)")" "$(num "$(pace $1 over_16_7)")" "$(num "$(pace $1 over_2x_median)")" \
    "$(num "$(pace $1 most_begins)")" "$(num "$(pace $1 most_lit)")" "$(num "$(pace $1 first_frame_draw_ms)")" "$(num "$(pace $1 first_frame_swap_ms)")" \
    "$(num "$(pace $1 explosion_frame)")" "$(num "$(pace $1 explosion_ms)")" "$(num "$(pace $1 shield_frame)")" "$(num "$(pace $1 shield_ms)")" \
    "$(num "$(pace $1 f1_out_ms)")" "$(num "$(pace $1 f1_back_ms)")"
}
mutter_json() { # run
  if [ -f "$work/pacing/fig.$1" ] && [ -n "$(pace $1 median_ms)" ]; then
    pacing_json "$1" | sed 's/^{/{"seconds":'"$(num "$(pace $1 seconds)")"',/'
  else
    printf null
  fi
}
printf '"pacing":{"waves":%s,"heavy":%s,"waves_seconds":%s,"heavy_seconds":%s,"mutter_native_waves":%s,"mutter_xwayland_waves":%s,"mutter_native_800x600":%s,"mutter_native_1920x1080":%s,"mutter_native_2560x1440_scale_2":%s},' \
  "$(pacing_json waves)" "$(pacing_json spray)" "$pacing_waves_seconds" "$pacing_heavy_seconds" \
  "$(mutter_json mutter_native)" "$(mutter_json mutter_xwayland)" \
  "$(mutter_json screen_800x600_1)" "$(mutter_json screen_1920x1080_1)" "$(mutter_json screen_2560x1440_2)"
wine_json() { # side
  printf '{"fps":%s,"pacing_frames":%s,"pacing_median_ms":%s,"pacing_p99_ms":%s,"pacing_worst_ms":%s,"pacing_over_16_7ms":%s}' \
    "$(num "$(wine_fig $1_fps)")" "$(num "$(wine_fig $1_frames)")" "$(num "$(wine_fig $1_median_ms)")" \
    "$(num "$(wine_fig $1_p99_ms)")" "$(num "$(wine_fig $1_worst_ms)")" "$(num "$(wine_fig $1_over_16_7)")"
}
printf '"windows_under_wine":{"windows":%s,"linux":%s,"ratio":%s,"bare_windows_fps":%s,"bare_linux_fps":%s,"bare_ratio":%s,"game_share":%s,"seconds":%s,"rounds":%s,"pacing_seconds":%s},' \
  "$(wine_json windows)" "$(wine_json linux)" "$(num "$(wine_fig windows_over_linux)")" \
  "$(num "$(wine_fig windows_bare_fps)")" "$(num "$(wine_fig linux_bare_fps)")" \
  "$(num "$(wine_fig windows_bare_over_linux_bare)")" "$(num "$(wine_fig windows_game_share)")" \
  "$fps_seconds" "$fps_rounds" "$wine_pacing_seconds"
web_json() { # pace
  printf '{"frames":%s,"fps":%s,"median_ms":%s,"p99_ms":%s,"worst_ms":%s}' \
    "$(num "$(web_fig $1_frames)")" "$(num "$(web_fig $1_fps)")" "$(num "$(web_fig $1_median_ms)")" \
    "$(num "$(web_fig $1_p99_ms)")" "$(num "$(web_fig $1_worst_ms)")"
}
printf '"browser":{"raf":%s,"zero_delay":%s,"seconds":%s,"gzip_wasm_bytes":%s,"gzip_js_bytes":%s},' \
  "$(web_json raf)" "$(web_json free)" "$web_seconds" "$(num "$(web_fig gzip_wasm)")" "$(num "$(web_fig gzip_js)")"
printf '"memory":{"game_peak_kb":%s,"game_peak_kb_at_10s":%s,"play_seconds":%s,"sim_long_peak_kb":%s,"sim_short_peak_kb":%s,"sim_long_frames":%s,"sim_short_frames":%s,"sim_growth":%s,"sim_long_max_objects":%s,"sim_short_max_objects":%s}}\n' \
  "$(num "$game_peak_kb")" "$(num "$game_hwm_first_kb")" "$play_seconds" "$(num "$sim_long_kb")" "$(num "$sim_short_kb")" \
  "$sim_frames" "$((sim_frames / 10))" "$sim_growth" "$(num "$sim_long_objects")" "$(num "$sim_short_objects")"
