#!/usr/bin/env bash
# The Windows wizard (tarvelin.exe) under Wine and Xvfb: cross-builds it and its test program
# in build-win/, builds the Linux simulator in build/, and runs the test program in English and
# German: the Connect page's rule, a refused connection, and a whole update against
# tarvelin-sim over TCP and over COM7 mapped to the simulator's pseudo-terminal, each time
# comparing the simulator's flash with the files, and an update whose block the coder refuses.
# Then the NSIS installer: a silent install
# and uninstall in the build's Wine prefix.
#
#   scripts/test-windows-wizard.sh                  the tests above
#   scripts/test-windows-wizard.sh --screenshots DIR   the pictures (DIR/en, DIR/de) instead
#
# The simulator is started here, not by the Windows program: under Wine a Windows program gets
# neither the output nor the exit status of a Linux child. The prefix's wineserver is restarted
# here (COM7 is read when it starts) and ended at the end, and COM7 is taken out of the prefix
# again: run this after, not during, the ctest run of scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

screenshots=
if [ "${1:-}" = --screenshots ]; then
  screenshots=$(realpath -m "${2:?--screenshots needs a folder}")
fi

scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine fonts-wine dpkg-dev googletest nsis locales
if [ ! -f build-win/build.ninja ]; then
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
fi
cmake --build build-win -j2 --target tarvelin tarvelin_wizard_tests tarvelin_installer
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j2 --target tarvelin-sim

work=$root/build-win/wizard-test
rm -rf "$work"
mkdir -p "$work"
wine_run=$root/build-win/wine-run.sh
tests=$root/build-win/tarvelin_wizard_tests.exe
sim_pid=
xvfb_pid=

com7_mapped=
cleanup() {
  [ -z "$sim_pid" ] || { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  if [ -n "$com7_mapped" ]; then
    "$wine_run" reg delete 'HKLM\Software\Wine\Ports' /v COM7 /f >/dev/null 2>&1 || true
  fi
  "$wine_run" --stop || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Waits until FILE has a line matching PATTERN, at most SECONDS.
wait_for_line() {
  local file=$1 pattern=$2 seconds=$3
  local end=$((SECONDS + seconds))
  until grep -q "$pattern" "$file" 2>/dev/null; do
    if [ $SECONDS -ge $end ]; then
      echo "test-windows-wizard: no '$pattern' in $file after ${seconds} s" >&2
      return 1
    fi
    sleep 0.1
  done
}

# German without touching the system: a private compiled locale.
locales=$root/build-win/locale
if [ ! -d "$locales/de_DE.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i de_DE -f UTF-8 "$locales/de_DE.UTF-8"
fi
export LOCPATH=$locales

# A screen of its own; no window manager, so no title bars.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for_line "$work/display" '[0-9]' 10
export DISPLAY=:$(head -n1 "$work/display")

"$wine_run" --start

# start_sim NAME ARGS...: the simulator with its dump in $work/NAME.dump; sets sim_pid,
# sim_tcp_port and sim_pty.
start_sim() {
  local name=$1
  shift
  build/sim/tarvelin-sim "$@" --dump "$work/$name.dump" >"$work/$name.sim" 2>"$work/$name.sim.err" &
  sim_pid=$!
  wait_for_line "$work/$name.sim" '^ready' 10
  sim_tcp_port=$(sed -n 's/^tcp 127\.0\.0\.1://p' "$work/$name.sim")
  sim_pty=$(sed -n 's/^serial //p' "$work/$name.sim")
}

# Ends the simulator, which writes its dump.
stop_sim() {
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=
}

# COM7 of the prefix is the simulator's pseudo-terminal; Wine reads its ports when the
# wineserver starts.
map_com7() {
  com7_mapped=1
  "$wine_run" reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$1" /f >/dev/null 2>&1
  "$wine_run" --start
}

passed=0
failed=0
note() {
  if [ "$1" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "test-windows-wizard: FAILED: $2" >&2
  fi
}

# run_tests LANGUAGE FILTER [VAR=VALUE...]: the test program with that language's locale.
run_tests() {
  local language=$1 filter=$2
  shift 2
  local lang=C.UTF-8
  [ "$language" = de ] && lang=de_DE.UTF-8
  env LANG=$lang LC_ALL= LC_MESSAGES= TARVELIN_EXPECT_LANGUAGE=$language "$@" \
    timeout 300 "$wine_run" "$tests" --gtest_filter="$filter" </dev/null
}

# update_case LANGUAGE LINK: a whole update over LINK (Tcp or Serial), the flash compared.
update_case() {
  local language=$1 link=$2 name=$1-$2
  local expected=$work/$name.expected
  local status=0
  if [ "$link" = Tcp ]; then
    start_sim "$name" --tcp 0
    run_tests "$language" "*WizardUpdate*/$link" TARVELIN_SIM_TCP_PORT="$sim_tcp_port" \
      TARVELIN_WIZARD_EXPECTED_DUMP="$(winepath_of "$expected")" || status=$?
  else
    start_sim "$name" --serial
    map_com7 "$sim_pty"
    run_tests "$language" "*WizardUpdate*/$link" TARVELIN_SIM_COM=7 \
      TARVELIN_WIZARD_EXPECTED_DUMP="$(winepath_of "$expected")" || status=$?
  fi
  stop_sim
  if [ $status -eq 0 ] && ! diff -u "$expected" "$work/$name.dump"; then
    echo "test-windows-wizard: the flash after $name is not the files" >&2
    status=1
  fi
  note $status "update $name"
}

winepath_of() {
  echo "Z:${1//\//\\}"
}

if [ -n "$screenshots" ]; then
  for language in en de; do
    mkdir -p "$screenshots/$language"
    start_sim "shots-$language" --tcp 0 --main-port none
    run_tests "$language" 'WizardScreenshots.*' TARVELIN_SIM_TCP_PORT="$sim_tcp_port" \
      TARVELIN_SCREENSHOTS="$(winepath_of "$screenshots/$language")"
    stop_sim
    for bitmap in "$screenshots/$language"/*.bmp; do
      bmptopnm "$bitmap" 2>/dev/null | pnmcrop -black 2>/dev/null | pnmtopng >"${bitmap%.bmp}.png"
      rm -f "$bitmap"
    done
  done
  ls -1 "$screenshots"/*/*.png
  exit 0
fi

for language in en de; do
  status=0
  run_tests "$language" 'WizardSheet.*:WizardFirmwareFolder.*:-WizardSheet.FailedFlash*' ||
    status=$?
  note $status "the sheet without a simulator ($language)"
  update_case "$language" Tcp
  update_case "$language" Serial
  # A coder whose flash refuses block 10 (acknowledgement code 17: the verify failed).
  status=0
  start_sim "$language-refusing" --tcp 0 --nack 10:17
  run_tests "$language" 'WizardSheet.FailedFlash*' TARVELIN_SIM_REFUSING_TCP_PORT="$sim_tcp_port" ||
    status=$?
  stop_sim
  note $status "a refused block ($language)"
done

# The installer, silent, in the prefix: the program and its Start-menu entry are there after
# the install, and nothing of them after the uninstall.
status=0
scripts/test-windows-installer.sh "$root/build-win" || status=$?
note $status "installer"

echo "test-windows-wizard: $passed passed, $failed failed"
[ $failed -eq 0 ]
