#!/usr/bin/env bash
# Measures filling the desktop's thumbnail cache (--xdg-cache) against the desktop's default JPEG
# thumbnailer, gdk-pixbuf-thumbnailer, run one process per core over the same photos.
#
# Usage: bench/desktop_cache.sh [--rounds N]
# Environment: VELMORA_BENCH_CACHE (photo set made by bench/compare.sh; default
#              ~/.cache/velmora-bench), VELMORA_BENCH_BUILD (build folder holding
#              src/cli/velmora-thumb; default build/bench in the source tree).
#
# Runs, alternating round by round: velmora `large` (256 pixels), gdk-pixbuf-thumbnailer -s 256
# per file with `xargs -P $(nproc)`, velmora `normal,large` in one run and `normal` alone (one
# decode for two sizes against two runs), then each tool once on the largest progressive photo.
# GNU time gives wall time, CPU time and the peak resident memory of the largest process.
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
bench_arguments "$@"

photos=$cache/photos/all
thumb=$build/src/cli/velmora-thumb
cores=$(nproc)

if [ ! -f "$cache/photos/.complete" ]; then
  echo "no photo set in $cache: run bench/compare.sh once first" >&2
  exit 1
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! command -v gdk-pixbuf-thumbnailer >/dev/null 2>&1 || [ ! -x /usr/bin/time ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    libgdk-pixbuf2.0-bin time
fi
if [ ! -x "$thumb" ]; then
  cmake -S "$bench_root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_GUI=OFF \
    -DVELMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$cores" --target velmora-thumb >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints "wall cpu peak_kib" of one command, run into a fresh, empty cache.
timed() {
  rm -rf "$work/out" && mkdir -p "$work/out"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" env XDG_CACHE_HOME="$work/out" "$@" \
    >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$work/time"
}

gdk_each() {
  find "$1" -maxdepth 1 -name '*.jpg' -print0 |
    xargs -0 -P "$cores" -n 1 sh -c \
      'gdk-pixbuf-thumbnailer -s 256 "$1" "$XDG_CACHE_HOME/$(basename "$1").png"' gdk
}

declare -A runs
tools=(velmora gdk both normal)
run_tool() {
  case "$1" in
    velmora) timed "$thumb" -q --xdg-cache large "$photos" ;;
    gdk) timed bash -c "$(declare -f gdk_each); cores=$cores; gdk_each '$photos'" ;;
    both) timed "$thumb" -q --xdg-cache normal,large "$photos" ;;
    normal) timed "$thumb" -q --xdg-cache normal "$photos" ;;
  esac
}

cat "$photos"/*.jpg >/dev/null
for ((r = 0; r < rounds; r++)); do
  for ((i = 0; i < ${#tools[@]}; i++)); do
    tool=${tools[$(((i + r) % ${#tools[@]}))]}
    line=$(run_tool "$tool")
    printf '%-8s %s\n' "$tool" "$line"
    runs[$tool]+="$line"$'\n'
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_median() { printf '%s' "${runs[$1]}" | awk -v c="$2" 'NF { print $c }' | median; }
echo
printf '%-8s %8s %8s %10s\n' tool wall_s cpu_s peak_MiB
for tool in "${tools[@]}"; do
  printf '%-8s %8s %8s %10.1f\n' "$tool" "$(column_median "$tool" 1)" \
    "$(column_median "$tool" 2)" "$(echo "$(column_median "$tool" 3) / 1024" | bc -l)"
done
ratio() { echo "scale=2; $1 / $2" | bc -l; }
echo "wall velmora / gdk-pixbuf per core: $(ratio "$(column_median velmora 1)" "$(column_median gdk 1)") (bar 0.35)"
echo "CPU normal,large in one run / large + normal runs: $(ratio "$(column_median both 2)" \
  "$(echo "$(column_median velmora 2) + $(column_median normal 2)" | bc -l)")"

largest=$("$build/bench/coefficient_floor" --modes "$photos"/*.jpg 2>/dev/null |
  awk '$1 == "progressive" { split($2, side, "x"); print side[1] * side[2], $3 }' |
  sort -n | tail -n 1 | cut -d' ' -f2- || true)
if [ -n "$largest" ]; then
  echo
  echo "largest progressive photo: $(basename "$largest")"
  printf 'velmora -j 1 %s\n' "$(timed "$thumb" -q -j 1 --xdg-cache large "$largest")"
  printf 'gdk-pixbuf   %s\n' "$(timed gdk-pixbuf-thumbnailer -s 256 "$largest" "$work/one.png")"
fi
