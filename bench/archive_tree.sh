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

rm -rf "$root"
mkdir -p "$root/first" "$root/photos" "$root/thumbs"
# One small picture, 64 x 48, a colour gradient (cjpeg: Debian's libjpeg-turbo-progs).
picture="$root/first/picture.jpg"
awk 'BEGIN { print "P3 64 48 255"; for (y = 0; y < 48; y++) for (x = 0; x < 64; x++)
             print x * 4, y * 5, (x + y) * 2 }' | cjpeg -quality 85 >"$picture"
mkdir "$root/photos/template"
i=1
while [ "$i" -le "$files" ]; do
  ln "$picture" "$root/photos/template/IMG_$i.jpg"
  i=$((i + 1))
done
# A file system allows some tens of thousands of links to one file: a fresh copy of the
# template's files for every 50 folders.
f=1
while [ "$f" -le "$folders" ]; do
  if [ $(((f - 1) % 50)) -eq 0 ]; then
    rm -rf "$root/photos/copy"
    cp -r "$root/photos/template" "$root/photos/copy"
  fi
  year=$((2000 + (f - 1) / 12))
  month=$(((f - 1) % 12 + 1))
  mkdir -p "$root/photos/$year"
  cp -al "$root/photos/copy" "$root/photos/$year/$month"
  f=$((f + 1))
done
rm -r "$root/photos/template" "$root/photos/copy"
echo "tree: $(find "$root/photos" -type f | wc -l) files in $folders folders"

measure() {
  label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$root/time" "$@" >"$root/log" || exit 1
  read -r wall user system peak <"$root/time"
  echo "$label: wall ${wall} s, CPU ${user} s user + ${system} s system," \
    "peak RSS $((peak / 1024)) MiB; $(wc -l <"$root/log") thumbnails made"
}

sync
measure "full run " "$thumb" -r --fit 32x32 --out "$root/thumbs" "$root/photos"
measure "year 2000" "$thumb" -r --fit 32x32 --out "$root/year" "$root/photos/2000"
measure "--update " "$thumb" -r --update --fit 32x32 --out "$root/thumbs" "$root/photos"
measure "shard 1/4" "$thumb" -r --update --shard 1/4 --fit 32x32 --out "$root/thumbs" \
  "$root/photos"
rm -rf "$root"
