#!/usr/bin/env bash
# The sanitizer run: AddressSanitizer + UBSan with clang (fuzz targets included), then
# ThreadSanitizer. The slow end-to-end label is left out here; the normal run has it. Each fuzz
# target runs briefly (200000 inputs or 20 s, see tests/fuzz/CMakeLists.txt);
# scripts/fuzz-long.sh runs them for a million inputs. Extra arguments go to both ctest runs
# (for example -R Name).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVELIN_SANITIZE=ON \
  -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -LE 'format|e2e' "$@"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVELIN_TSAN=ON \
  -DCMAKE_CXX_COMPILER=clang++
cmake --build build-tsan
# Debian's Qt is not built with ThreadSanitizer: its own threads (the QtTest watchdog) give
# false reports and upset the runtime, so the wizard's tests run under ASan/UBSan only.
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -LE 'format|fuzz|e2e|gui' "$@"
