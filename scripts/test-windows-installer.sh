#!/usr/bin/env bash
# The NSIS installer in a Wine prefix: a silent install puts tarvelin.exe, tarvelin-cli.exe,
# the README and the licence texts under Program Files with a Start-menu entry and an uninstall entry; the silent uninstall takes
# them all away again. Argument: the Windows build folder (default build-win), whose
# wine-run.sh and prefix are used; the prefix must be started (wine-run.sh --start).
set -euo pipefail
build=$(realpath "${1:-build-win}")
wine_run=$build/wine-run.sh
installer=$(ls "$build"/tarvelin-*-setup.exe)
drive=$build/wineprefix/drive_c
program="$drive/Program Files/Orvane/Tarvelin"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvelin"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvelin'

fail() {
  echo "test-windows-installer: $*" >&2
  exit 1
}

# Waits until the command succeeds, at most SECONDS.
within() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

registered() {
  "$wine_run" reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1
}
installed_parts() {
  [ -e "$program" ] || [ -e "$menu" ]
}
gone() {
  ! installed_parts && ! registered
}

"$wine_run" "$installer" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed"
for file in tarvelin.exe tarvelin-cli.exe README.md licenses/GCC.txt; do
  [ -f "$program/$file" ] || fail "no $program/$file after the install"
done
[ -f "$program/Uninstall.exe" ] || fail "no uninstaller after the install"
[ -f "$menu/Tarvelin.lnk" ] || fail "no Start-menu entry in $menu"
registered || fail "no uninstall entry $uninstall_key"

# The uninstaller runs on from a copy of itself in the temporary folder and returns at once.
"$wine_run" "$program/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall failed"
within 30 gone || fail "left after the uninstall: $(ls -R "$program" "$menu" 2>/dev/null | tr '\n' ' ')"
[ ! -e "$drive/Program Files/Orvane" ] || fail "the empty Orvane folder stays under Program Files"
echo "test-windows-installer: installed and uninstalled silently"
