#!/usr/bin/env bash
# Measures velmora-thumb against vipsthumbnail, ImageMagick, GraphicsMagick and the entropy
# decoding floor on a folder of real photographs taken from Debian's wallpaper packages.
#
# Usage: bench/compare.sh [--rounds N] [--jobs N] [--tools "NAME..."]
#   --rounds N  runs per tool, alternating between the tools (default 5)
#   --jobs N    velmora-thumb's worker count (default: its own, all cores)
#   --tools L   only these of: velmora area vips vipspc magick gm floor (default: all)
# Environment: VELMORA_BENCH_CACHE (photo set and packages; default ~/.cache/velmora-bench),
#              VELMORA_BENCH_BUILD (build folder; default build/bench in the source tree).
#
# Nothing is fetched but Debian packages through apt. Every run is timed by /usr/bin/time, which
# reports the wall time, the CPU time of the process and its children, and the peak resident
# memory of the largest process.
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
jobs=""
chosen_tools=(velmora area vips vipspc magick gm floor)
own_option() {
  case "$1" in
    --jobs) jobs=$2; taken=2 ;;
    --tools) read -r -a chosen_tools <<<"$2"; taken=2 ;;
  esac
}
bench_arguments "$@"
wallpaper_packages=(mate-backgrounds plasma-workspace-wallpapers lomiri-wallpapers-20.04 ukui-wallpapers)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

log() { printf '== %s\n' "$*" >&2; }

# The peers and the timer are the bench's own needs, so they stay out of the project's package
# list; they are installed here, once.
install_tools() {
  local missing=() pair cmd pkg
  for pair in vipsthumbnail:libvips-tools mogrify:imagemagick gm:graphicsmagick \
    /usr/bin/time:time cmake:cmake g++:g++ pkg-config:pkg-config; do
    cmd=${pair%%:*} pkg=${pair#*:}
    command -v "$cmd" >/dev/null 2>&1 || missing+=("$pkg")
  done
  dpkg-query -W -f='${Status}' libjpeg62-turbo-dev 2>/dev/null | grep -q 'install ok installed' ||
    missing+=(libjpeg62-turbo-dev)
  [ ${#missing[@]} -eq 0 ] && return
  log "installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The photo set: every JPEG over 100 kB in the wallpaper packages, flattened into one folder
# under unique names (many wallpapers share a file name such as 1920x1080.jpg), with a second
# folder holding the baseline ones only. Packages this release lacks are skipped.
build_photo_set() {
  local photos=$cache/photos
  if [ -f "$photos/.complete" ]; then
    return
  fi
  mkdir -p "$cache/debs" "$cache/tree"
  local pkg
  for pkg in "${wallpaper_packages[@]}"; do
    if ! compgen -G "$cache/debs/${pkg}_*.deb" >/dev/null; then
      if apt-cache show "$pkg" >/dev/null 2>&1 ||
        { $sudo apt-get update -qq && apt-cache show "$pkg" >/dev/null 2>&1; }; then
        log "downloading $pkg"
        (cd "$cache/debs" && apt-get download -q "$pkg") || log "skipping $pkg: download failed"
      else
        log "skipping $pkg: not available"
        continue
      fi
    fi
    local deb
    for deb in "$cache/debs/${pkg}"_*.deb; do
      [ -f "$deb" ] || continue
      mkdir -p "$cache/tree/$pkg"
      dpkg -x "$deb" "$cache/tree/$pkg"
    done
  done

  rm -rf "$photos"
  mkdir -p "$photos/all"
  local file name
  while IFS= read -r -d '' file; do
    # Only real JPEG files: some packages give other formats a .jpg name.
    [ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' \n')" = "ffd8ff" ] || continue
    name=${file#"$cache/tree/"}
    name=${name//\//_}
    name=${name%.*}.jpg
    ln -f "$file" "$photos/all/$name" 2>/dev/null || cp "$file" "$photos/all/$name"
  done < <(find "$cache/tree" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -size +100k -print0 | sort -z)

  local count
  count=$(find "$photos/all" -name '*.jpg' | wc -l)
  if [ "$count" -eq 0 ]; then
    echo "no photographs found in ${wallpaper_packages[*]}" >&2
    exit 1
  fi
  touch "$photos/.complete"
}

build_programs() {
  log "building velmora-thumb and the bench programs (Release) in $build"
  cmake -S "$bench_root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_GUI=OFF \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j "$(nproc)" --target velmora-thumb coefficient_floor preview_timing \
    area_quality >/dev/null
}

# Splits the set by the frame type the floor program reports, for the baseline-only memory bar.
split_baseline() {
  local photos=$cache/photos
  rm -rf "$photos/baseline"
  mkdir -p "$photos/baseline"
  "$build/bench/coefficient_floor" --modes "$photos"/all/*.jpg >"$photos/modes.txt"
  local mode size file
  while read -r mode size file; do
    if [ "$mode" = baseline ]; then
      ln -f "$file" "$photos/baseline/"
    fi
  done <"$photos/modes.txt"
}

# One timed run: appends "tool set wall cpu peak_KiB files user sys" to the results file. The output folder is
# emptied before each run so that every tool writes into an empty folder.
timed() {
  local tool=$1 set=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out"
  local stats=$work/time.txt status attempt
  # On a shared machine a run is now and then ended by a signal from outside; such a run is
  # repeated (twice at most), a run that fails by itself ends the bench.
  for attempt in 1 2 3; do
    status=0
    /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >"$work/$tool.log" 2>&1 || status=$?
    [ "$status" -gt 128 ] && [ "$attempt" -lt 3 ] || break
    log "$tool was ended by signal $((status - 128)); running it again"
    rm -rf "$out"
    mkdir -p "$out"
  done
  if [ "$status" -ne 0 ]; then
    echo "$tool failed on the $set set (exit status $status); its output:" >&2
    tail -n 20 "$work/$tool.log" >&2
    exit 1
  fi
  local wall user sys peak
  read -r wall user sys peak < <(tail -n 1 "$stats")
  local made
  made=$(find "$out" -type f | wc -l)
  printf '%s %s %s %s %s %s %s %s\n' "$tool" "$set" "$wall" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')" "$peak" "$made" "$user" "$sys" \
    >>"$results"
}

run_tool() {
  local tool=$1 set=$2
  local dir=$cache/photos/$set
  local files=("$dir"/*.jpg)
  case "$tool" in
    velmora) timed velmora "$set" "$build/src/cli/velmora-thumb" ${jobs:+-j "$jobs"} --fit 200x200 --out "$out" "$dir" ;;
    area) timed area "$set" "$build/src/cli/velmora-thumb" ${jobs:+-j "$jobs"} --filter area \
      --fit 200x200 --out "$out" "$dir" ;;
    vips) timed vips "$set" vipsthumbnail "${files[@]}" -s 200x200 -o "$out/%s.jpg[Q=90]" ;;
    # One vipsthumbnail process per file, as many at once as there are cores: libvips' own
    # advice for batches.
    vipspc) timed vipspc "$set" bash -c 'out=$1; shift; printf "%s\0" "$@" |
      xargs -0 -P "$(nproc)" -I{} vipsthumbnail {} -s 200x200 -o "$out/%s.jpg[Q=90]"' _ "$out" \
      "${files[@]}" ;;
    magick) timed magick "$set" mogrify -path "$out" -sample 200x200 -quality 90 "${files[@]}" ;;
    # gm puts the whole source path under the output folder, so it is given bare names.
    gm) timed gm "$set" env -C "$dir" gm mogrify -output-directory "$out" -sample 200x200 \
      -quality 90 "${files[@]##*/}" ;;
    floor) timed floor "$set" "$build/bench/coefficient_floor" "${files[@]}" ;;
  esac
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Prints one median column (3 wall, 4 cpu, 5 peak KiB, 7 user, 8 system) of one tool on one set.
med() { awk -v t="$1" -v s="$2" -v c="$3" '$1 == t && $2 == s { print $c }' "$results" | median; }

report() {
  local set=$1
  shift
  printf '\n%-8s %8s %8s %8s %8s %10s %6s   (%s set, medians of %s rounds)\n' tool 'wall s' \
    'cpu s' 'user s' 'sys s' 'peak MiB' files "$set" "$rounds"
  local tool
  for tool in "$@"; do
    printf '%-8s %8s %8s %8s %8s %10.1f %6s\n' "$tool" "$(med "$tool" "$set" 3)" \
      "$(med "$tool" "$set" 4)" "$(med "$tool" "$set" 7)" "$(med "$tool" "$set" 8)" \
      "$(awk -v k="$(med "$tool" "$set" 5)" 'BEGIN { print k / 1024 }')" \
      "$(awk -v t="$tool" -v s="$set" '$1 == t && $2 == s { print $6; exit }' "$results")"
  done
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

main() {
  install_tools
  build_photo_set
  build_programs
  split_baseline

  work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  out=$work/out
  results=$work/results.txt
  : >"$results"

  local photos=$cache/photos
  local total progressive baseline
  total=$(wc -l <"$photos/modes.txt")
  progressive=$(grep -c '^progressive' "$photos/modes.txt" || true)
  baseline=$(grep -c '^baseline' "$photos/modes.txt" || true)
  echo "photo set: $total JPEG files, $(du -shL "$photos/all" | cut -f1)B, $progressive progressive," \
    "$baseline baseline (${wallpaper_packages[*]})"
  echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)," \
    "$(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "versions: $(vipsthumbnail --vips-version 2>/dev/null | head -n 1);" \
    "$(mogrify -version | sed -n 's/^Version: //p' | cut -d' ' -f1-3); $(gm version | head -n 1)"

  # One untimed pass puts every file in the page cache, so no tool pays for the first read.
  cat "$photos"/all/*.jpg >/dev/null

  local tools=("${chosen_tools[@]}") round i
  local baseline_tools=()
  for i in velmora area vips floor; do
    [[ " ${tools[*]} " == *" $i "* ]] && baseline_tools+=("$i")
  done
  for ((round = 1; round <= rounds; round++)); do
    log "round $round of $rounds"
    # Each round starts with a different tool, so slow drifts in the machine's load spread
    # over every tool instead of falling on one.
    for ((i = 0; i < ${#tools[@]}; i++)); do
      run_tool "${tools[(i + round - 1) % ${#tools[@]}]}" all
    done
    for ((i = 0; i < ${#baseline_tools[@]}; i++)); do
      run_tool "${baseline_tools[(i + round - 1) % ${#baseline_tools[@]}]}" baseline
    done
  done

  echo
  echo "every run (tool set wall_s cpu_s peak_KiB files_written user_s sys_s):"
  cat "$results"
  report all "${tools[@]}"
  report baseline "${baseline_tools[@]}"

  echo
  echo "ratios (medians, same run):"
  echo "  velmora wall / vips wall          $(ratio "$(med velmora all 3)" "$(med vips all 3)")   target <= 0.50"
  echo "  velmora CPU  / floor CPU          $(ratio "$(med velmora all 4)" "$(med floor all 4)")   target <= 1.15"
  echo "  velmora peak / vips peak          $(ratio "$(med velmora all 5)" "$(med vips all 5)")   target < 1"
  echo "  velmora peak, baseline only       $(awk -v k="$(med velmora baseline 5)" 'BEGIN { printf "%.1f MiB", k / 1024 }')   target <= 64 MiB"
  echo "  velmora user / floor user         $(ratio "$(med velmora all 7)" "$(med floor all 7)")   (decoding work alone)"
  echo "  velmora CPU / floor CPU, baseline $(ratio "$(med velmora baseline 4)" "$(med floor baseline 4)")"
  echo "  velmora wall / vips per core wall $(ratio "$(med velmora all 3)" "$(med vipspc all 3)")"
  echo "  area wall / vips per core wall    $(ratio "$(med area all 3)" "$(med vipspc all 3)")   target <= 0.35"
  echo "  area CPU / floor CPU              $(ratio "$(med area all 4)" "$(med floor all 4)")   target <= 0.60"
  echo "  area CPU / floor CPU, baseline    $(ratio "$(med area baseline 4)" "$(med floor baseline 4)")"
  echo "  load average at the end           $(cut -d' ' -f1-3 /proc/loadavg)"

  # Area mode's pixels against an ideal reduction of the full decode, in both request kinds.
  local request
  for request in "--fit 200x200" "--rate 10"; do
    echo
    echo "area quality, $request (PSNR against a box-filtered full decode):"
    # shellcheck disable=SC2086 # the request is two words on purpose
    "$build/bench/area_quality" $request "$photos"/all/*.jpg | sed 's/^/  /'
  done

  # The main window previews the clicked file with the same decoding: the largest photos show
  # whether clicking through a folder of them stays quick.
  echo
  echo "preview (loadPreview, fastest and median of 5) of the largest photos:"
  awk '{ split($2, d, "x"); print d[1] * d[2], $1, $3 }' "$photos/modes.txt" | sort -n -r |
    head -n 6 | while read -r pixels mode file; do
      printf '  %-11s %s\n' "$mode" "$("$build/bench/preview_timing" --repeat 5 "$file" | tail -n 1)"
    done
}

main
