#!/usr/bin/env bash
# Installs what is missing, builds a Release and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset release
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cmake --build --preset release -j "$(nproc)" --target velmora-thumb
  echo "No display found: the Velmora window needs a desktop session (or run: xvfb-run ./run.sh)."
  echo "The command-line tool works without one: build/release/src/cli/velmora-thumb --help"
  exit 1
fi
cmake --build --preset release -j "$(nproc)" --target velmora
exec build/release/src/app/velmora
