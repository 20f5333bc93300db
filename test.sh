#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test through ctest:
# the Release suite, the engine and command-line suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer (memory errors and leaks), and a bounded fuzz run when clang is
# present.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
jobs=$(nproc)
cmake --preset release -DVELMORA_WARNINGS_AS_ERRORS=ON
cmake --build --preset release -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --preset release -j "$jobs"

cmake --preset asan -DVELMORA_WARNINGS_AS_ERRORS=ON
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if command -v clang++ >/dev/null 2>&1; then
  cmake --preset fuzz -DVELMORA_WARNINGS_AS_ERRORS=ON
  cmake --build --preset fuzz -j "$jobs" --target thumbnail_fuzzer sampled_decode_fuzzer
  ctest --preset fuzz
else
  echo "clang++ not found: the fuzz run is skipped."
fi
