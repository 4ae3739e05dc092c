#!/usr/bin/env bash
# Saves a PNG of each wizard page (Connect, Info after identification, Update while flashing,
# the end state) from a real window under Xvfb, against the simulator. Output folder: the first
# argument, default build/screenshots (outside the tracked tree). LANG picks the language.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
cmake --build build --target tarvelin_gui_tests tarvelin-sim >/dev/null
TARVELIN_SCREENSHOTS=$out xvfb-run -a -s "-screen 0 1024x768x24" \
  build/tests/tarvelin_gui_tests Screenshots
ls -1 "$out"/*.png
