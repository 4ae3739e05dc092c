#!/usr/bin/env bash
# Builds the Debian package and the portable folder and tries them as a technician would:
# - the .deb passes lintian (no errors) and holds what it should; extracted with dpkg-deb -x
#   into a temporary root, its tarvelin-cli tells its version, its manual pages render, and it
#   updates the extracted tarvelin-sim from a firmware folder given by --firmware-dir, as an
#   ordinary user: the log lands in that folder, or under $XDG_STATE_HOME/Orvane/ when the
#   folder is read-only;
# - the portable release (scripts/portable-release.sh: the folder with firmware files beside the
#   programs) updates with no folder option, started from elsewhere: the log lies beside the
#   programs, the programs need no library beyond the system's Qt 6, and licenses/ holds the
#   licence texts of what they link;
# - lintian names no hardening-* tag (its informational tags are listed too).
# Reuses the build folder (default build/, or $BUILD_DIR). Exit status 0 when every check
# passed; checks of behaviour not yet on this branch say "NOT YET" and do not count as passed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source_root=$PWD
build=${BUILD_DIR:-build}
case $build in /*) ;; *) build=$source_root/$build ;; esac

failures=0
pending=0
ok() { echo "package-test: ok: $*"; }
fail() {
  echo "package-test: FAIL: $*"
  failures=$((failures + 1))
}
not_yet() {
  echo "package-test: NOT YET: $*"
  pending=$((pending + 1))
}
# Runs a check command quietly; shows its output only when it fails.
check() {
  local what=$1 out
  shift
  if out=$("$@" 2>&1); then
    ok "$what"
  else
    fail "$what"
    printf '%s\n' "$out" | sed 's/^/    /'
  fi
}

# What this branch has: the log location of the core; the command line's part (manual pages,
# completion, --version, and saying where the log is).
core_log_location=false
[ -f update/LogLocation.h ] && core_log_location=true
cli_part=false
[ -d cli/completion ] && cli_part=true

scripts/setup.sh lintian || exit 1
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$build" || exit 1
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB && cpack -G TGZ) >"$build/cpack.log" 2>&1 || {
  cat "$build/cpack.log"
  exit 1
}
deb=$(ls "$build"/packages/tarvelin_*.deb)
tgz=$(ls "$build"/packages/tarvelin-*-portable-*.tar.gz)
echo "package-test: built $(basename "$deb") and $(basename "$tgz")"

tmp=$(mktemp -d)
chmod 755 "$tmp"
sims=()
declare -A sim_pid
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- the Debian package as a file ---
check "desktop entry is valid" desktop-file-validate packaging/tarvelin.desktop
check "lintian reports no errors" lintian --fail-on error "$deb"
# Every tag down to the informational ones, where lintian puts the hardening it misses.
lintian_tags=$(lintian --display-info "$deb" 2>/dev/null)
[ -n "$lintian_tags" ] && sed 's/^/    lintian: /' <<<"$lintian_tags"
hardening=$(grep -o 'hardening-[a-z-]*.*' <<<"$lintian_tags")
if [ -z "$hardening" ]; then
  ok "the programs carry Debian's hardening (lintian names no hardening-* tag)"
else
  fail "lintian misses hardening in the programs:"
  sed 's/^/    /' <<<"$hardening"
fi

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||')
expected=(usr/bin/tarvelin usr/bin/tarvelin-cli usr/bin/tarvelin-sim
  usr/share/applications/tarvelin.desktop usr/share/icons/hicolor/scalable/apps/tarvelin.svg
  usr/share/doc/tarvelin/README.md usr/share/doc/tarvelin/copyright
  usr/share/doc/tarvelin/changelog.Debian.gz usr/share/man/man1/tarvelin.1.gz)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/tarvelin.png")
done
cli_files=(usr/share/man/man1/tarvelin-cli.1.gz usr/share/man/man1/tarvelin-sim.1.gz
  usr/share/bash-completion/completions/tarvelin-cli
  usr/share/bash-completion/completions/tarvelin-sim)
$cli_part && expected+=("${cli_files[@]}")
missing=()
for file in "${expected[@]}"; do
  grep -qx "$file" <<<"$contents" || missing+=("$file")
done
if [ ${#missing[@]} -eq 0 ]; then
  ok "the .deb holds the programs, desktop entry, icons, manual pages and documentation"
else
  fail "the .deb lacks: ${missing[*]}"
fi
$cli_part || not_yet "manual pages and completion of the command line (cli/completion, cli/man)"

depends=$(dpkg-deb -f "$deb" Depends)
if grep -q 'qt6-translations-l10n' <<<"$depends" && grep -q 'libqt6widgets6' <<<"$depends"; then
  ok "Depends computed from the programs, with qt6-translations-l10n: $depends"
else
  fail "Depends lacks qt6-translations-l10n or the Qt libraries: $depends"
fi

# --- extracted into a temporary root ---
root=$tmp/root
dpkg-deb -x "$deb" "$root"
check "extracted desktop entry is valid" \
  desktop-file-validate "$root/usr/share/applications/tarvelin.desktop"

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
wrong=()
for size in 16 22 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/tarvelin.png
  [ -f "$png" ] && [ "$(png_size "$png")" = "${size}x${size}" ] || wrong+=("$size")
done
if [ ${#wrong[@]} -eq 0 ]; then
  ok "every hicolor PNG has the size of its folder"
else
  fail "icon PNGs missing or of the wrong size: ${wrong[*]}"
fi

unresolved=$(for p in tarvelin tarvelin-cli tarvelin-sim; do ldd "$root/usr/bin/$p"; done |
  grep 'not found')
if [ -z "$unresolved" ]; then ok "the extracted programs find all their libraries"; else
  fail "libraries not found: $unresolved"; fi

# A manual page renders without warnings.
render_man() {
  local page=$1 out
  if command -v man >/dev/null; then
    out=$(MANWIDTH=80 man --warnings -l -Tutf8 "$page" 2>&1 >/dev/null) || return 1
    [ -z "$out" ] || { echo "$out"; return 1; }
    MANWIDTH=80 man -l -Tutf8 "$page" 2>/dev/null | grep -q '^NAME\|^N.*A.*M.*E'
  else
    echo "(man is absent: rendering with groff)"
    out=$(zcat -f "$page" | groff -man -Tutf8 -ww -z 2>&1) || return 1
    [ -z "$out" ] || { echo "$out"; return 1; }
  fi
}
check "man page tarvelin(1) renders" render_man "$root/usr/share/man/man1/tarvelin.1.gz"
if $cli_part; then
  for page in tarvelin-cli tarvelin-sim; do
    check "man page $page(1) renders" render_man "$root/usr/share/man/man1/$page.1.gz"
  done
  version=$("$root/usr/bin/tarvelin-cli" --version 2>&1)
  project_version=$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')
  if grep -q "$project_version" <<<"$version"; then
    ok "extracted tarvelin-cli --version: $version"
  else
    fail "extracted tarvelin-cli --version says \"$version\", not version $project_version"
  fi
else
  not_yet "tarvelin-cli --version (the command line's part)"
fi
# The wizard answers --version on a terminal without a display, as on a server or over ssh.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tarvelin" --version 2>&1)
status=$?
if [ $status -eq 0 ] && [ "$version" = "tarvelin $(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')" ]; then
  ok "extracted tarvelin --version without a display: $version"
else
  fail "extracted tarvelin --version without a display: exit $status, \"$version\""
fi

# --- as an ordinary user: a command prefix that execs, so a background job's pid is the program's
user_note=""
if [ "$(id -u)" -ne 0 ]; then
  as_user=()
  owner=$(id -u):$(id -g)
  ordinary=true
elif id -u nobody >/dev/null 2>&1 && command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups --)
  owner=$(id -u nobody):$(id -g nobody)
  ordinary=true
  user_note=" as user nobody"
else
  as_user=()
  owner=0:0
  ordinary=false
  echo "package-test: SKIPPED: running as root and there is no user nobody (or no setpriv):" \
    "the runs below are made as root, and the read-only folder cannot be tried"
fi
# A fresh folder owned by the user who runs the programs.
user_dir() {
  mkdir -p "$1"
  chown "$owner" "$1"
}
user_dir "$tmp/home"
user_dir "$tmp/config"
run_env=(env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" LANG=C.UTF-8 LC_ALL=)

# The firmware files of a release: the coder image names its version in its file name and
# carries it inside, where the simulated coder reads it after the update.
make_firmware() {
  user_dir "$1"
  head -c 16384 /dev/urandom >"$1/Coder_V02_16.img"
  printf 'TVERV2.16' | dd of="$1/Coder_V02_16.img" bs=1 seek=4096 conv=notrunc status=none
  head -c 4096 /dev/urandom >"$1/Dsp_V01_05.smp"
  head -c 4096 /dev/urandom >"$1/Dsp_V01_05.dsp"
  chown "$owner" "$1"/*
}

# Starts a simulator (firmware V2.15 behind a NetPC) from the given program; sets $port.
start_sim() {
  local program=$1 name=$2
  user_dir "$tmp/$name"
  "${as_user[@]}" "${run_env[@]}" "$program" --tcp 0 --firmware-version V2.15 --main-port none \
    --time-scale 0.1 --dump "$tmp/$name/flash.txt" >"$tmp/$name/sim.out" 2>&1 &
  sims+=($!)
  sim_pid[$name]=$!
  for _ in $(seq 50); do
    grep -q '^ready' "$tmp/$name/sim.out" && break
    sleep 0.1
  done
  port=$(sed -n 's/^tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$tmp/$name/sim.out")
  [ -n "$port" ] || { echo "package-test: the simulator $program did not start:"; cat "$tmp/$name/sim.out"; }
}

# The flash of a simulator, dumped on SIGUSR1, holds the three files.
flash_matches() {
  local name=$1 firmware=$2 expected actual
  kill -USR1 "${sim_pid[$name]}"
  sleep 0.3
  expected=$(cd "$firmware" && sha256sum Coder_V02_16.img Dsp_V01_05.smp Dsp_V01_05.dsp | awk '{print $1}')
  actual=$(awk '{print $NF}' "$tmp/$name/flash.txt" 2>/dev/null)
  [ "$expected" = "$actual" ] || { echo "flash: $actual"; echo "files: $expected"; return 1; }
}

# Lines of a log that show a whole update: the new version read after the restart.
updated_log() { grep -aq 'New firmware version:  2.16' "$1"; }

# The release a maker builds from the portable folder and its firmware files.
make_firmware "$tmp/release-files"
release_out=$tmp/release
user_dir "$release_out"
if ! scripts/portable-release.sh "$tmp/release-files" "$release_out" >"$tmp/release.log" 2>&1; then
  fail "scripts/portable-release.sh made no release"
  sed 's/^/    /' "$tmp/release.log"
fi
release=$(ls "$release_out"/*.tar.gz 2>/dev/null | head -1)

# A release folder the programs could not use is refused before anything is built.
refused() {
  local want=$1 text=$2 out status
  shift 2
  out=$(scripts/portable-release.sh "$@" 2>&1)
  status=$?
  [ $status -eq "$want" ] && grep -q "$text" <<<"$out" || { echo "exit $status: $out"; return 1; }
}
user_dir "$tmp/two-coders"
cp "$tmp/release-files"/* "$tmp/two-coders/"
cp "$tmp/two-coders/Coder_V02_16.img" "$tmp/two-coders/Coder_V02_17.img"
check "portable-release.sh refuses two coder images" \
  refused 65 "holds 2 coder firmware files" "$tmp/two-coders" "$tmp/unused"
user_dir "$tmp/no-coder"
cp "$tmp/release-files"/*.dsp "$tmp/no-coder/"
check "portable-release.sh refuses a folder without a coder image" \
  refused 66 "holds no coder firmware" "$tmp/no-coder" "$tmp/unused"

# Two whole updates side by side: the extracted .deb with --firmware-dir, and the portable
# release unpacked elsewhere and started with no folder option from another working directory.
make_firmware "$tmp/firmware"
user_dir "$tmp/state-deb"
start_sim "$root/usr/bin/tarvelin-sim" deb
(cd / && "${as_user[@]}" "${run_env[@]}" XDG_STATE_HOME="$tmp/state-deb" "$root/usr/bin/tarvelin-cli" \
  update --tcp "127.0.0.1:$port" --firmware-dir "$tmp/firmware" --yes) >"$tmp/deb/cli.out" 2>&1 &
deb_update=$!

portable_update=""
if [ -n "$release" ]; then
  user_dir "$tmp/unpacked"
  "${as_user[@]}" tar -xzf "$release" -C "$tmp/unpacked"
  folder=$(ls -d "$tmp"/unpacked/*/ | head -1)
  folder=${folder%/}
  listing=$(cd "$folder" && ls -A | sort | tr '\n' ' ')
  want="Coder_V02_16.img Dsp_V01_05.dsp Dsp_V01_05.smp README.md licenses tarvelin tarvelin-cli tarvelin-sim "
  if [ "$listing" = "$want" ]; then
    ok "the portable release holds the programs, README, licences and firmware files side by side"
  else
    fail "the portable release holds: $listing"
  fi
  # The licence of everything linked into the programs: TinyXML in all three, CLI11 and JSON
  # for Modern C++ in tarvelin-cli, Qt (dynamic, LGPL-3 with the GPL-3 it builds on).
  licences_missing=()
  while read -r file phrase; do
    grep -q "$phrase" "$folder/licenses/$file" 2>/dev/null || licences_missing+=("$file")
  done <<'LICENCES'
README.txt statically
Tarvelin.txt Orvane
TinyXML.txt Permission is granted to anyone to use this software
CLI11.txt Redistribution and use in source and binary forms
nlohmann-json.txt Permission is hereby granted, free of charge
Qt.txt linked
LGPL-3.txt GNU LESSER GENERAL PUBLIC LICENSE
GPL-3.txt GNU GENERAL PUBLIC LICENSE
LICENCES
  if [ ${#licences_missing[@]} -eq 0 ]; then
    ok "licenses/ holds the texts of TinyXML, CLI11, JSON for Modern C++ and Qt's LGPL-3 and GPL-3"
  else
    fail "licenses/ lacks or has the wrong text in: ${licences_missing[*]}"
  fi
  if grep -q 'libQt6' <<<"$(readelf -d "$folder/tarvelin")"; then
    ok "the portable wizard links Qt dynamically, as licenses/Qt.txt says"
  else
    fail "the portable wizard does not link Qt dynamically, unlike licenses/Qt.txt says"
  fi
  foreign=$(for p in tarvelin tarvelin-cli tarvelin-sim; do
    readelf -d "$folder/$p" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'
  done | grep -Ev '^(libc|libm|libstdc\+\+|libgcc_s|libQt6(Core|Gui|Widgets))\.so' | sort -u)
  if [ -z "$foreign" ]; then
    ok "the portable programs need no library beyond the C/C++ runtime and Qt 6"
  else
    fail "the portable programs need: $foreign"
  fi
  user_dir "$tmp/state-portable"
  start_sim "$folder/tarvelin-sim" portable
  (cd / && "${as_user[@]}" "${run_env[@]}" XDG_STATE_HOME="$tmp/state-portable" \
    "$folder/tarvelin-cli" update --tcp "127.0.0.1:$port" --yes) >"$tmp/portable/cli.out" 2>&1 &
  portable_update=$!
fi

wait "$deb_update"
deb_status=$?
if [ $deb_status -eq 0 ] && flash_matches deb "$tmp/firmware" >"$tmp/deb/flash.check" 2>&1; then
  ok "extracted .deb updated the extracted simulator$user_note (exit 0, flash = files)"
else
  fail "update with the extracted .deb (exit status $deb_status)"
  sed 's/^/    /' "$tmp/deb/cli.out" "$tmp/deb/flash.check"
fi
if $core_log_location; then
  if [ -f "$tmp/firmware/TarvelinLog.txt" ] && updated_log "$tmp/firmware/TarvelinLog.txt"; then
    ok "the installed program's log lies in the firmware folder"
  else
    fail "no log of the update in the firmware folder $tmp/firmware"
    ls -la "$tmp/firmware" "$root/usr/bin" | sed 's/^/    /'
  fi
  if ! $cli_part; then
    not_yet "the command line saying where the log is (the command line's part)"
  elif grep -q "$tmp/firmware/TarvelinLog.txt" "$tmp/deb/cli.out"; then
    ok "the command line says where the log is"
  else
    fail "the command line's output does not name the log $tmp/firmware/TarvelinLog.txt"
  fi
else
  not_yet "the log beside the firmware files given by --firmware-dir (update/LogLocation.h)"
fi

# A read-only firmware folder: the log goes to $XDG_STATE_HOME/Orvane/.
if ! $ordinary; then
  echo "package-test: SKIPPED: the read-only firmware folder (root may write into any folder)"
elif $core_log_location; then
  readonly_firmware=$tmp/readonly-firmware
  make_firmware "$readonly_firmware"
  chmod 555 "$readonly_firmware"
  user_dir "$tmp/state-readonly"
  start_sim "$root/usr/bin/tarvelin-sim" readonly
  (cd / && "${as_user[@]}" "${run_env[@]}" XDG_STATE_HOME="$tmp/state-readonly" \
    "$root/usr/bin/tarvelin-cli" identify --tcp "127.0.0.1:$port" \
    --firmware-dir "$readonly_firmware") >"$tmp/readonly/cli.out" 2>&1
  state_log=$tmp/state-readonly/Orvane/TarvelinLog.txt
  if [ -f "$state_log" ] && grep -aq 'Current firmware version' "$state_log" &&
    [ ! -e "$readonly_firmware/TarvelinLog.txt" ]; then
    ok "with a read-only firmware folder the log lies in \$XDG_STATE_HOME/Orvane/"
  else
    fail "with a read-only firmware folder no log in $state_log"
    sed 's/^/    /' "$tmp/readonly/cli.out"
  fi
  if ! $cli_part; then
    not_yet "the command line naming the log under \$XDG_STATE_HOME (the command line's part)"
  elif grep -q "$state_log" "$tmp/readonly/cli.out"; then
    ok "the command line names the log under \$XDG_STATE_HOME"
  else
    fail "the command line's output does not name the log $state_log"
  fi
else
  not_yet "the log under \$XDG_STATE_HOME/Orvane/ for a read-only firmware folder (update/LogLocation.h)"
fi

# The portable release.
if [ -n "$portable_update" ]; then
  wait "$portable_update"
  portable_status=$?
  if [ $portable_status -eq 0 ] && flash_matches portable "$folder" >"$tmp/portable/flash.check" 2>&1; then
    ok "portable release updated its simulator$user_note with no folder option (exit 0, flash = files)"
  else
    fail "update with the portable release (exit status $portable_status)"
    sed 's/^/    /' "$tmp/portable/cli.out" "$tmp/portable/flash.check"
  fi
  if [ -f "$folder/TarvelinLog.txt" ] && updated_log "$folder/TarvelinLog.txt"; then
    ok "the portable release's log lies beside the programs"
  else
    fail "no log of the update beside the programs in $folder"
  fi
fi

echo "package-test: $failures failed, $pending not yet on this branch"
[ $failures -eq 0 ]
