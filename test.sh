#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest: the Release suite, the
# engine and command-line suites again under AddressSanitizer and UndefinedBehaviorSanitizer
# (memory errors and leaks).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
jobs=$(nproc)
cmake --preset release
cmake --build --preset release -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --preset release -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

