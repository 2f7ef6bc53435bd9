#!/usr/bin/env bash
# Sets up, builds and runs every test; builds everything in Release and runs
# the core tests there; then builds everything again with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the whole suite there; then builds
# the fuzz targets with clang and runs each for a short, fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# Includes the "hardware" tests: libusb and libftdi1 over FTDI bridges
# emulated with umockdev, and the D2XX backend over a stand-in library.
(cd build && ctest -j2 -LE soak --output-on-failure)

echo "== the Debian package =="
bash scripts/check_package.sh

echo "== a Release build of everything, tests included =="
# Packagers and users who build for speed use Release: its optimiser brings
# warnings the other builds do not see, and tests build with -Werror.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j2
(cd build-release && ctest -j2 -L core --output-on-failure)

echo "== the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=ON -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j2
export UBSAN_OPTIONS=print_stacktrace=1
# Qt and fontconfig keep caches for the life of the process: leaks are
# checked where only the program's own code runs.
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest -j2 -L core --output-on-failure)
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest -j2 -L "gui|cli" --output-on-failure)
# The "hardware" tests are left out here: they run inside umockdev's preload
# library, which must come first in the process and so ahead of the
# sanitizer's runtime, and the stand-in D2XX library is loaded at run time.
# They run in the normal build above, with the real libusb and libftdi1.

echo "== fuzz targets, ${TOLVANE_FUZZ_SECONDS:-20} s each =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON \
  -DTOLVANE_BUILD_GUI=OFF -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2
for target in spectrum_file standard_table analyser_replies tick text_fields emsa_file pmca_file spec_file column_file; do
  work=$(mktemp -d)
  ./build-fuzz/fuzz/fuzz_${target} -max_total_time="${TOLVANE_FUZZ_SECONDS:-20}" -print_final_stats=1 \
    -artifact_prefix="$work/" "$work" "fuzz/corpus/${target}" 2>"$work/log" ||
    { tail -40 "$work/log"; echo "fuzz_${target} found a failure"; exit 1; }
  echo "fuzz_${target}: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/log" | cut -d' ' -f2) executions, no failure"
  rm -rf "$work"
done
echo "fuzz: 9 passed, 0 failed"
