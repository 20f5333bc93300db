#!/bin/sh
# Times --update --prune against the plain --update re-run over a generated archive (see
# archive_tree.sh), alternating, ROUNDS rounds of each: first with nothing deleted, then with
# one photo in a hundred deleted and one whole folder renamed. Before each pruning run the
# orphans are put back (hard links kept aside), so every round prunes the same files.
#
#   bench/archive_prune.sh [VELMORA_THUMB] [FOLDERS] [FILES] [ROUNDS]   (default: 100 x 1000, 2)
#
# With $VELMORA_BENCH_OLD set to another velmora-thumb, each round times that one too, just
# before. The tree goes to $VELMORA_BENCH_TREE (default /tmp/velmora-archive-bench) and is
# removed at the end.
set -eu
thumb=${1:-build/release/src/cli/velmora-thumb}
folders=${2:-100}
files=${3:-1000}
rounds=${4:-2}
root=${VELMORA_BENCH_TREE:-/tmp/velmora-archive-bench}
builds="${VELMORA_BENCH_OLD:+old:$VELMORA_BENCH_OLD} new:$thumb"

# shellcheck source=bench/archive_common.sh
. "$(dirname "$0")/archive_common.sh"
make_archive

# Each build's plain and pruning re-run, the orphans put back after each pruning one.
alternate() {
  r=1
  while [ "$r" -le "$rounds" ]; do
    for build in $builds; do
      name=${build%%:*}
      binary=${build#*:}
      measure "$1, $name, --update        " "$binary" -r --update --fit 32x32 \
        --out "$root/thumbs" "$root/photos"
      measure "$1, $name, --update --prune" "$binary" -r --update --prune --fit 32x32 \
        --out "$root/thumbs" "$root/photos"
      if [ -d "$root/orphans" ]; then cp -al "$root/orphans/." "$root/thumbs/"; fi
    done
    r=$((r + 1))
  done
}

sync
measure "full run" "$thumb" -r --fit 32x32 --out "$root/thumbs" "$root/photos"
alternate "nothing deleted"

# IMG_100.jpg, IMG_200.jpg ... of every folder go, and the folder 2000/1 becomes 2000/renamed;
# the renamed folder's thumbnails are made once before the timed runs.
find "$root/photos" -name 'IMG_*00.jpg' -delete
mv "$root/photos/2000/1" "$root/photos/2000/renamed"
measure "renamed folder made" "$thumb" -r --update --fit 32x32 --out "$root/thumbs" \
  "$root/photos"
mkdir "$root/orphans"
(cd "$root/thumbs" && find . -name 'IMG_*00.jpg' ! -path './2000/1/*' \
  -exec cp -al --parents -t "$root/orphans" {} + && cp -al --parents 2000/1 "$root/orphans")
echo "orphans: $(find "$root/orphans" -type f | wc -l)"
alternate "1 % deleted, a folder renamed"
rm -rf "$root"
