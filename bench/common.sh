# Sourced by the bench scripts: where they find the photo set and the build, and the arguments
# they all take.
# shellcheck shell=bash
# shellcheck disable=SC2034 # the variables are the sourcing script's

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${VELMORA_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/velmora-bench}
build=${VELMORA_BENCH_BUILD:-$bench_root/build/bench}
rounds=5

# Prints the calling script's opening comment, its usage.
bench_usage() {
  sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"
}

# Reads --rounds N and -h/--help; any other argument goes to the script's own_option, when it
# defines one, which sets `taken` to the number of words it used (none: unknown argument).
bench_arguments() {
  local taken
  while [ $# -gt 0 ]; do
    taken=0
    case "$1" in
      --rounds) rounds=$2; taken=2 ;;
      -h | --help) bench_usage; exit 0 ;;
      *) if declare -F own_option >/dev/null; then own_option "$@"; fi ;;
    esac
    if [ "$taken" -eq 0 ]; then
      echo "unknown argument: $1" >&2
      exit 2
    fi
    shift "$taken"
  done
}
