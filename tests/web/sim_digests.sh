#!/usr/bin/env bash
# quarvel-sim.js under plain node plays the recorded games bit for bit: the
# same seeds, frames, random frame times and keys as
# SimReplay.SeededGamesGiveTheRecordedDigests, the same digests.
#   sim_digests.sh build-web/tools/quarvel-sim.js tests/tools/replay_digests.txt
set -euo pipefail
sim=$1 digests=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
while read -r seed expected; do
  # Into a file: node's stdout through a pipe may lose its end at exit.
  node "$sim" --seed "$seed" --frames 4000 --frame-ms random --random-keys 0.2 --digest \
    >"$out" 2>/dev/null
  actual=$(sed -n 's/^{"digest":"\([0-9a-f]*\)"}$/\1/p' "$out")
  if [ "$actual" != "$expected" ]; then
    echo "seed $seed: digest ${actual:-missing}, recorded $expected"
    tail -3 "$out"
    status=1
  fi
done <"$digests"
[ $status -eq 0 ] && echo "$(wc -l <"$digests") games, every digest as recorded"
exit $status
