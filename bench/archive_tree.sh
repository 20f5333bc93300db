#!/bin/sh
# Times velmora-thumb over a generated archive: FOLDERS dated folders of FILES small JPEGs
# each (hard links to one picture), a full -r run mirrored into an empty folder, then the
# --update re-run that finds everything up to date. GNU time gives wall time and peak memory.
#
#   bench/archive_tree.sh [VELMORA_THUMB] [FOLDERS] [FILES]     (default: 100 folders x 1000)
#
# The tree and the thumbnails go to $VELMORA_BENCH_TREE (default /tmp/velmora-archive-bench)
# and are removed at the end.
set -eu
thumb=${1:-build/release/src/cli/velmora-thumb}
folders=${2:-100}
files=${3:-1000}
root=${VELMORA_BENCH_TREE:-/tmp/velmora-archive-bench}

# shellcheck source=bench/archive_common.sh
. "$(dirname "$0")/archive_common.sh"
make_archive

sync
measure "full run " "$thumb" -r --fit 32x32 --out "$root/thumbs" "$root/photos"
measure "year 2000" "$thumb" -r --fit 32x32 --out "$root/year" "$root/photos/2000"
measure "--update " "$thumb" -r --update --fit 32x32 --out "$root/thumbs" "$root/photos"
measure "shard 1/4" "$thumb" -r --update --shard 1/4 --fit 32x32 --out "$root/thumbs" \
  "$root/photos"
rm -rf "$root"
