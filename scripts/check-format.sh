#!/usr/bin/env bash
# Fails when a tracked or new C++ file is not in clang-format's shape; names the files.
set -euo pipefail
clang_format=${1:-clang-format}
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' 2>/dev/null ||
                     find . -path ./build -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
status=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! "$clang_format" --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (run: $clang_format -i $f)"
    status=1
  fi
done
exit $status
