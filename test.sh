#!/usr/bin/env bash
# Installs what is missing, then checks everything the repository holds, compiler warnings as
# errors:
#   Release: both programs, the benchmark programs and every suite;
#   AddressSanitizer + UndefinedBehaviorSanitizer: every suite again, the windows' included
#     (offscreen): memory errors, leaks and undefined behaviour;
#   ThreadSanitizer: the engine and command-line suites, where the batch runner's workers and
#     the memory budget they share run;
#   the fuzz targets (clang, libFuzzer), built and run for a bounded time;
#   the layout of every C++ file (.clang-format), last, so that a stray space does not hide
#     what the tests say.
# README says how long it takes.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
configure=(-DVELMORA_WARNINGS_AS_ERRORS=ON)
if command -v ccache >/dev/null 2>&1; then
  configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake --preset release "${configure[@]}" -DVELMORA_BUILD_BENCH=ON
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

cmake --preset asan "${configure[@]}"
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

cmake --preset tsan "${configure[@]}"
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

if command -v clang++ >/dev/null 2>&1; then
  cmake --preset fuzz "${configure[@]}"
  cmake --build --preset fuzz -j "$jobs" --target thumbnail_fuzzer sampled_decode_fuzzer
  ctest --preset fuzz
else
  echo "clang++ not found: the fuzz run is skipped."
fi

find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
