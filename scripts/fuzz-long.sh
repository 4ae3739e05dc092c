#!/usr/bin/env bash
# Runs every libFuzzer target for a million inputs (more with FUZZ_RUNS=N) in the clang
# sanitizer tree and prints one line per target: inputs, seconds, coverage points and features
# at the end, and what it found. The corpus each target grows stays in build-asan/fuzz-long/, so
# a second run goes on from there. Extra arguments name the targets to run (default: all).
# Exit status 1 when any target found a fault; its input is kept beside its corpus.
# FUZZ_SKIP_BUILD=1 runs what build-asan already holds (for example when builds go through a
# shared lock).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
runs=${FUZZ_RUNS:-1000000}

targets=()
declare -A seeds max_len
while read -r target _library seed_folder longest; do
  [[ $target == fuzz_* ]] || continue
  seeds[$target]=$seed_folder
  max_len[$target]=$longest
  targets+=("$target")
done < tests/fuzz/targets.txt
if [ $# -gt 0 ]; then
  targets=("$@")
fi
for target in "${targets[@]}"; do
  if [ -z "${seeds[$target]:-}" ]; then
    echo "fuzz-long: unknown target '$target'; the targets are listed in tests/fuzz/targets.txt" >&2
    exit 64
  fi
done

if [ "${FUZZ_SKIP_BUILD:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVELIN_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER=clang++ > /dev/null
  cmake --build build-asan --target "${targets[@]}"
fi

printf '%-22s %9s %8s %6s %7s  %s\n' target inputs seconds cov ft found
status=0
for target in "${targets[@]}"; do
  work=build-asan/fuzz-long/$target
  mkdir -p "$work/corpus" "$work/finds"
  log=$work/last-run.log
  start=$(date +%s)
  result=0
  "build-asan/tests/fuzz/$target" -runs="$runs" -max_len="${max_len[$target]}" \
    -artifact_prefix="$work/finds/" "$work/corpus" "tests/fuzz/corpus/${seeds[$target]}" \
    > "$log" 2>&1 || result=$?
  seconds=$(( $(date +%s) - start ))
  # The last status line libFuzzer printed: "#N <event> cov: C ft: F ...".
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  inputs=$(sed -E 's/^#([0-9]+).*/\1/' <<< "$last")
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<< "$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<< "$last")
  if [ "$result" -eq 0 ]; then
    found=nothing
  else
    status=1
    found="$(grep -m 1 -E 'ERROR: |SUMMARY: ' "$log" || echo "exit status $result") (see $log)"
  fi
  printf '%-22s %9s %8s %6s %7s  %s\n' "$target" "${inputs:-?}" "$seconds" "${cov:-?}" \
    "${ft:-?}" "$found"
done
exit "$status"
