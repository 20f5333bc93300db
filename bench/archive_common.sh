# Sourced by the archive scripts: the generated archive and the timed run.
# shellcheck shell=sh
# shellcheck disable=SC2034 # the variables are the sourcing script's

# Builds $root/photos: $folders dated folders ("2000/1" to "2000/12", "2001/1", ...) of $files
# small JPEGs each (IMG_1.jpg ...), hard links to one picture.
make_archive() {
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
}

# Runs the command under GNU time and prints its wall time, CPU time and peak memory, with the
# number of thumbnails it made and, when it pruned any, how many it pruned.
measure() {
  label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$root/time" "$@" >"$root/log" 2>"$root/err" || {
    cat "$root/err" >&2
    exit 1
  }
  read -r wall user system peak <"$root/time"
  pruned=$(grep -c ': pruned$' "$root/err" || true)
  if [ "$pruned" -eq 0 ]; then pruned=""; else pruned=", $pruned pruned"; fi
  echo "$label: wall ${wall} s, CPU ${user} s user + ${system} s system," \
    "peak RSS $((peak / 1024)) MiB; $(wc -l <"$root/log") thumbnails made$pruned"
}
