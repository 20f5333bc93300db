#!/usr/bin/env bash
# Measures --colour srgb: what converting tagged photos costs, and how close their thumbnails
# come to the right colours.
#
# Usage: bench/colour.sh [--rounds N] [--photo FILE]
#   --photo FILE  the sRGB photo of the fidelity check (default: the most colourful of the set)
# Environment: VELMORA_BENCH_CACHE (photo set made by bench/compare.sh; default
#              ~/.cache/velmora-bench), VELMORA_BENCH_BUILD (build folder; default build/bench
#              in the source tree).
#
# Cost: the photo set untagged, made with --colour none, against the same photos each tagged
# Display P3 (the profile embedded, the picture data untouched), made with --colour srgb; both
# --fit 200x200 with one worker, alternating round by round; GNU time's user + system CPU.
# Fidelity: the photo converted with jpgicc to Adobe RGB, Display P3 and ProPhoto with the
# profile embedded, and an Adobe RGB copy marked only by EXIF InteroperabilityIndex R03; the
# mean error per channel of each one's thumbnail against the sRGB original's (--colour none).
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
photo=""
own_option() {
  case "$1" in
    --photo) photo=$2; taken=2 ;;
  esac
}
bench_arguments "$@"

photos=$cache/photos/all
thumb=$build/src/cli/velmora-thumb
tags() { python3 "$bench_root/bench/jpeg_tags.py" "$@"; }
[ -n "$photo" ] || photo=$photos/plasma-workspace-wallpapers_usr_share_wallpapers_ColorfulCups_contents_images_2560x1600.jpg
if [ ! -f "$cache/photos/.complete" ]; then
  echo "no photo set in $cache: run bench/compare.sh once first" >&2
  exit 1
fi
command -v jpgicc >/dev/null || { echo "jpgicc (liblcms2-utils) is needed" >&2; exit 1; }
cmake -S "$bench_root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_GUI=OFF \
  -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target velmora-thumb icc_profiles >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/icc_profiles" "$work"
mkdir "$work/untagged" "$work/p3"
for file in "$photos"/*.jpg; do
  name=$(basename "$file")
  tags icc /dev/null "$file" "$work/untagged/$name"
  tags icc "$work/display-p3.icc" "$file" "$work/p3/$name"
done

cpu() {
  local set=$1 colour=$2
  rm -rf "$work/out"
  mkdir "$work/out"
  /usr/bin/time -f '%U %S' -o "$work/time" "$thumb" -j 1 -q --fit 200x200 --colour "$colour" \
    --out "$work/out" "$work/$set" >/dev/null
  awk '{ printf "%.2f", $1 + $2 }' "$work/time"
}

echo "== cost: CPU seconds, $(find "$work/untagged" -name '*.jpg' | wc -l) photos, --fit 200x200, -j 1"
printf '%-8s %-22s %-22s %s\n' round "untagged, none" "Display P3, srgb" ratio
for round in $(seq "$rounds"); do
  none=$(cpu untagged none)
  srgb=$(cpu p3 srgb)
  printf '%-8s %-22s %-22s %.3f\n' "$round" "$none" "$srgb" "$(echo "$srgb / $none" | bc -l)"
done

echo "== fidelity: mean error per channel against the sRGB original's thumbnail"
cd "$work"
tags icc /dev/null "$photo" original.jpg
for space in display-p3 adobe-rgb prophoto; do
  jpgicc -n -b -o"$space.icc" -e -q95 original.jpg "$space.jpg" >/dev/null 2>&1
done
jpgicc -n -b -oadobe-rgb.icc -q95 original.jpg adobe-plain.jpg >/dev/null 2>&1
tags r03 adobe-plain.jpg adobe-r03.jpg
mkdir fidelity
"$thumb" -q --within 320x320 --colour none --out fidelity original.jpg >/dev/null
djpeg -pnm fidelity/original.jpg >reference.ppm
for copy in display-p3 adobe-rgb prophoto adobe-r03; do
  for colour in srgb none; do
    "$thumb" -q --within 320x320 --colour "$colour" --prefix "$colour-" "$copy.jpg" >/dev/null
    djpeg -pnm "$colour-$copy.jpg" >"$colour-$copy.ppm"
  done
  printf '%-12s srgb %s   (none %s)\n' "$copy" "$(tags mae reference.ppm "srgb-$copy.ppm")" \
    "$(tags mae reference.ppm "none-$copy.ppm")"
done
