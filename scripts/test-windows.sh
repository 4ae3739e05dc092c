#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-builds build-win/ with MinGW-w64 and runs
# its tests under Wine in a prefix of its own (build-win/wineprefix; ~/.wine is not used): the
# unit and integration tests, then tarvelin-cli.exe end to end against the Linux simulator of
# build/ (built here when missing), and checks the portable zip; then the wizard tarvelin.exe
# under Wine and Xvfb and the installer (scripts/test-windows-wizard.sh). Prints the times of
# the updates under Wine and with the Linux tarvelin-cli.
# Extra arguments go to ctest (for example -R FrameCodec, or -L e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine fonts-wine dpkg-dev googletest jq unzip nsis locales

started=$SECONDS
# The simulator the end-to-end runs talk to, and the Linux command line they are compared with.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target tarvelin-sim tarvelin-cli
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
cmake --build build-win -j2
built=$SECONDS

trap 'build-win/wine-run.sh --stop' EXIT
build-win/wine-run.sh --start
wine_ready=$SECONDS

status=0
figures=build-win/e2e-figures.txt
rm -f "$figures"
ctest --test-dir build-win --output-on-failure -j "$(nproc)" "$@" || status=$?
tested=$SECONDS

# The portable zip: what it must hold, only Windows' own DLLs imported, and its program runs.
check_zip() {
  local version zip folder
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
  folder=tarvelin-$version-win64
  zip=build-win/packages/$folder.zip
  [ -f "$zip" ] || { echo "zip: $zip was not built"; return 1; }
  local want have
  want=$(printf "$folder/%s\n" README.md tarvelin.exe tarvelin-cli.exe \
    licenses/{CLI11,GCC,GPL-3,MinGW-w64,README,Tarvelin,TinyXML,nlohmann-json}.txt | sort)
  have=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
  if [ "$want" != "$have" ]; then
    printf 'zip: holds\n%s\nzip: but should hold\n%s\n' "$have" "$want"
    return 1
  fi

  local unpacked
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked"
  local exe=$unpacked/$folder/tarvelin-cli.exe
  local system='kernel32|advapi32|user32|gdi32|comctl32|comdlg32|uxtheme|shell32|shlwapi|ole32'
  system+='|oleaut32|version|ws2_32|setupapi|cfgmgr32|msvcrt'
  local program imports foreign all_imports=
  for program in tarvelin tarvelin-cli; do
    imports=$(x86_64-w64-mingw32-objdump -p "$unpacked/$folder/$program.exe" |
      sed -n 's/^\s*DLL Name: //p')
    foreign=$(grep -viE "^($system|api-ms-win-[a-z0-9-]+)\.dll$" <<<"$imports" || true)
    if [ -n "$foreign" ]; then
      echo "zip: $program.exe imports DLLs Windows does not have: $foreign"
      return 1
    fi
    x86_64-w64-mingw32-objdump -h "$unpacked/$folder/$program.exe" | grep -q '\.debug_' &&
      { echo "zip: $program.exe is not stripped"; return 1; }
    all_imports+=" $program.exe: ${imports//$'\n'/ };"
  done
  local shown
  shown=$(build-win/wine-run.sh "$exe" --version </dev/null 2>&1 | tr -d '\r')
  rm -rf "$unpacked"
  if [ "$shown" != "tarvelin-cli $version" ]; then
    echo "zip: tarvelin-cli.exe --version printed '$shown'"
    return 1
  fi
  echo "zip: $zip, $(stat -c %s "$zip") bytes; imported:$all_imports"
}
check_zip || status=1
zip_checked=$SECONDS

# After the ctest run: the wizard's script maps COM7 and restarts the prefix's wineserver.
# Its own arguments are not ctest's, so a run narrowed by arguments leaves it out.
if [ $# -eq 0 ]; then
  scripts/test-windows-wizard.sh || status=1
fi

if [ -s "$figures" ]; then
  echo "test-windows: times of the updates (the flash from its first stage to the finish command):"
  sed 's/^/  /' "$figures"
fi
echo "test-windows: configure and build $((built - started)) s, Wine start $((wine_ready - built)) s," \
  "tests $((tested - wine_ready)) s, zip check $((zip_checked - tested)) s," \
  "wizard and installer $((SECONDS - zip_checked)) s"
exit $status
