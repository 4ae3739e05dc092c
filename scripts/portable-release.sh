#!/usr/bin/env bash
# Makes a portable release: the portable folder (cpack -G TGZ) with a maker's firmware files
# beside the programs, packed as one .tar.gz that a technician unpacks anywhere and runs; the
# programs find the files and write their log beside themselves.
#   scripts/portable-release.sh FIRMWARE_FOLDER [OUTPUT_FOLDER]
# FIRMWARE_FOLDER holds one coder firmware (*.img) and at most one DSP firmware (*.dsp) and one
# DSP samples file (*.smp); the release goes to OUTPUT_FOLDER (default build/packages) as
# tarvelin-VERSION-coder-CODERVERSION-ARCH.tar.gz. Uses the build folder build/ (or $BUILD_DIR).
set -euo pipefail

usage="usage: scripts/portable-release.sh FIRMWARE_FOLDER [OUTPUT_FOLDER]"
die() {
  echo "portable-release: $*" >&2
  exit "${status:-1}"
}
[ $# -ge 1 ] && [ $# -le 2 ] || status=64 die "$usage"
firmware=$(cd "$1" 2>/dev/null && pwd) ||
  status=66 die "$1 is not a folder: name the folder that holds the firmware files (*.img, *.dsp, *.smp)"
output=""
if [ $# -eq 2 ]; then
  mkdir -p "$2" && output=$(cd "$2" && pwd) || status=73 die "cannot create the output folder $2"
fi

cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
output=${output:-$PWD/$build/packages}

# The programs take the first file of each kind that the folder lists, so a release holds
# exactly the files to flash.
shopt -s nullglob
coders=("$firmware"/*.img)
dsps=("$firmware"/*.dsp)
samples=("$firmware"/*.smp)
[ ${#coders[@]} -gt 0 ] ||
  status=66 die "$firmware holds no coder firmware (*.img): the programs would not start an update without one"
[ ${#coders[@]} -eq 1 ] ||
  status=65 die "$firmware holds ${#coders[@]} coder firmware files (*.img): keep only the one to flash"
[ ${#dsps[@]} -le 1 ] ||
  status=65 die "$firmware holds ${#dsps[@]} DSP firmware files (*.dsp): keep only the one to flash"
[ ${#samples[@]} -le 1 ] ||
  status=65 die "$firmware holds ${#samples[@]} DSP samples files (*.smp): keep only the one to flash"
if [ ${#dsps[@]} -eq 0 ]; then
  echo "portable-release: note: no DSP firmware (*.dsp): the technician is asked to confirm" \
    "flashing the coder firmware alone${samples:+, and the DSP samples are not flashed}" >&2
fi

# The version the programs show, from the coder firmware's name: after the second-to-last
# underscore, without a leading "V" and one leading "0", the last underscore read as a point
# (Coder_V02_16.img gives 2.16).
coder_name=$(basename "${coders[0]}")
coder_name=${coder_name%.*}
coder_version=""
head_part=${coder_name%_*}
if [ "$head_part" != "$coder_name" ] && [ "${head_part%_*}" != "$head_part" ]; then
  rest=${coder_name#"${head_part%_*}_"}
  rest=${rest#V}
  rest=${rest#0}
  case $rest in
    *_*) coder_version=${rest%_*}.${rest##*_} ;;
    ?*) coder_version=$rest ;;
  esac
fi
# Without a version in the name the release is named after the file.
label=${coder_version:-$coder_name}
label=${label//[^A-Za-z0-9._-]/_}

if [ ! -f "$build/CMakeCache.txt" ]; then
  scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tarvelin-portable tarvelin-cli-portable tarvelin-sim-portable
(cd "$build" && cpack -G TGZ >/dev/null)
portable=$(ls "$build"/packages/tarvelin-*-portable-*.tar.gz)
base=$(basename "$portable" .tar.gz)
name=${base/-portable-/-coder-$label-}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
tar -xzf "$portable" -C "$stage"
mv "$stage/$base" "$stage/$name"
for file in "${coders[@]}" "${dsps[@]}" "${samples[@]}"; do
  install -m 644 "$file" "$stage/$name/"
done
mkdir -p "$output"
tar -C "$stage" --owner=0 --group=0 --numeric-owner -czf "$output/$name.tar.gz" "$name"
echo "portable-release: $output/$name.tar.gz"
(cd "$stage" && find "$name" -type f | sort | sed 's/^/  /')
