#!/usr/bin/env bash
# Installs what is missing, builds a Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: the window needs a desktop session (or xvfb-run ./run.sh)."
  echo "The command-line tool works without one: build/release/src/cli/velmora-thumb --help"
  exit 1
fi
exec build/release/src/app/velmora "$@"
