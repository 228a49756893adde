# Frame-pacing figures of one run, from the swap stamps of
# libquarvel-frame-stamps.so (first file) and the probe's event log
# (second file):
#   awk -v series=FILE -v marks=FILE -f pacing.awk STAMPS EVENTS
# Prints "NAME VALUE" figures. series gets one line per frame after the
# first: "INDEX FRAME_MS LOOP_MS DRAW_MS SWAP_MS BEGINS LIT SPHERES",
# where the frame is from one swap's return to the next, LOOP the part
# before the frame's glClear (messages, UpdateWorld), DRAW from glClear to
# the swap call (DrawWorld's calls) and SWAP the swap call itself (where
# llvmpipe finishes rasterising and the picture goes to the X server).
# marks gets "INDEX FRAME_MS LABEL" for the marked events.

function ms(ns) { return ns / 1e6 }
# Nearest rank: the smallest value with at least share p of them at or below
function rank(p,   k) {
  k = int(p * n + 0.999999)
  if (k < 1) k = 1
  return sorted[k]
}
# Heapsort of sorted[1..n] (mawk has no asort)
function sift(a, start, end,   root, child, t) {
  root = start
  while ((child = 2 * root) <= end) {
    if (child < end && a[child] < a[child + 1]) child++
    if (a[root] >= a[child]) return
    t = a[root]; a[root] = a[child]; a[child] = t
    root = child
  }
}
function heapsort(a, count,   i, t) {
  for (i = int(count / 2); i >= 1; i--) sift(a, i, count)
  for (i = count; i > 1; i--) {
    t = a[1]; a[1] = a[i]; a[i] = t
    sift(a, 1, i - 1)
  }
}
function mark(i, label) {
  if (i > 0) printf "%d %.3f %s\n", i, ft[i], label >marks
  marked[i] = 1
}
# The frame whose interval holds time t: the first frame returning after it
function frameAt(t,   i) {
  for (i = 1; i < frames; i++) if (out[i] >= t) return i
  return -1
}

FNR == NR && $1 == "frame" {
  i = $2; clear[i] = $3; swapIn[i] = $4; out[i] = $5
  begins[i] = $6; lit[i] = $7; spheres[i] = $8; sphereNs[i] = $9
  frames = i + 1
  next
}
FNR == NR && $1 == "call" {
  if ($2 == "SDL_DestroyWindow" && frames > 0) destroyAt[++destroys] = $3
  next
}
FNR == NR && $1 == "dropped" { dropped = $2; next }
FNR == NR { next }
$1 == "key" && $3 == "down" && !(($2) in firstKey) { firstKey[$2] = $4 }

END {
  if (frames < 3) { print "pacing_error too_few_frames"; exit 1 }
  n = 0
  for (i = 1; i < frames; i++) {
    ft[i] = ms(out[i] - out[i - 1])
    loopMs = clear[i] ? ms(clear[i] - out[i - 1]) : 0
    drawMs = clear[i] ? ms(swapIn[i] - clear[i]) : ms(swapIn[i] - out[i - 1])
    printf "%d %.3f %.3f %.3f %.3f %d %d %d\n", i, ft[i], loopMs, drawMs,
      ms(out[i] - swapIn[i]), begins[i], lit[i], spheres[i] >series
    sorted[++n] = ft[i]
    if (worst == "" || ft[i] > ft[worst]) worst = i
    if (begins[i] > mostBegins) mostBegins = begins[i]
    if (lit[i] > mostLit) mostLit = lit[i]
    if (shield == "" && spheres[i] > 0) shield = i
    if (explosion == "" && lit[i] > 0) explosion = i
  }
  heapsort(sorted, n)
  median = rank(0.5)
  for (i = 1; i < frames; i++) {
    if (ft[i] > 16.7) over16++
    if (ft[i] > 2 * median) over2x++
  }
  printf "frames %d\nseconds %.2f\n", n, ms(out[frames - 1] - out[0]) / 1000
  printf "median_ms %.3f\np99_ms %.3f\np999_ms %.3f\nworst_ms %.3f\nworst_frame %d\n",
    median, rank(0.99), rank(0.999), ft[worst], worst
  printf "over_16_7 %d\nover_2x_median %d\n", over16 + 0, over2x + 0
  printf "first_frame_draw_ms %.3f\nfirst_frame_swap_ms %.3f\n",
    ms(swapIn[0] - clear[0]), ms(out[0] - swapIn[0])
  printf "most_begins %d\nmost_lit %d\n", mostBegins, mostLit
  if (dropped) printf "dropped %d\n", dropped
  # The shield: the first frame that draws the sphere
  if (shield != "") {
    printf "shield_frame %d\nshield_ms %.3f\n", shield, ft[shield]
    if ("z" in firstKey) printf "shield_key_to_swap_ms %.1f\n", ms(out[shield] - firstKey["z"])
    mark(shield, "shield")
  }
  # The first explosion: the first frame that hands a light a colour
  if (explosion != "") {
    printf "explosion_frame %d\nexplosion_ms %.3f\n", explosion, ft[explosion]
    if ("space" in firstKey) printf "first_shot_to_explosion_ms %.1f\n", ms(out[explosion] - firstKey["space"])
    mark(explosion, "explosion")
  }
  # F1: the frame that spans each window's destruction and the next one's
  # first picture
  for (k = 1; k <= destroys && k <= 2; k++) {
    i = frameAt(destroyAt[k])
    if (i < 0) continue
    printf "f1_%s_frame %d\nf1_%s_ms %.3f\n", k == 1 ? "out" : "back", i, k == 1 ? "out" : "back", ft[i]
    mark(i, k == 1 ? "F1" : "F1-back")
  }
  if (worst != shield && worst != explosion && !(worst in marked)) mark(worst, "worst")
}
