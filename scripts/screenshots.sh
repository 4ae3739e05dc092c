#!/usr/bin/env bash
# Saves a PNG of each wizard page (Connect, Info after identification, Update during the reboot
# pause and while flashing, the end state) and of the log window, from a real window under
# Xvfb against the simulator, in English (en/) and German (de/); then the same of the Windows
# wizard under Wine (windows/en/, windows/de/; scripts/test-windows-wizard.sh --screenshots).
# Output folder: the first argument, default build/screenshots (outside the tracked tree).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
cmake --build build --target tarvelin_gui_tests tarvelin-sim >/dev/null
for language in en de; do
  mkdir -p "$out/$language"
  [ "$language" = de ] && lang=de_DE.UTF-8 || lang=C.UTF-8
  LANG=$lang LC_ALL= LC_MESSAGES= TARVELIN_SCREENSHOTS=$out/$language \
    xvfb-run -a -s "-screen 0 1024x768x24" build/tests/tarvelin_gui_tests Screenshots
done
ls -1 "$out"/*/*.png
scripts/test-windows-wizard.sh --screenshots "$out/windows"
