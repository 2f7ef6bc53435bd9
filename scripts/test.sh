#!/usr/bin/env bash
# Sets up, builds and runs every test; then builds the core again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs its tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
(cd build && ctest -j2 -LE soak --output-on-failure)

echo "== core tests under AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=ON \
  -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j2 --target tolvane_core_tests
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j2 -L core --output-on-failure)
