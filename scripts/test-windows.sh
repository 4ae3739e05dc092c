#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-builds build-win/ with MinGW-w64 and runs
# its tests under Wine in a prefix of its own (build-win/wineprefix; ~/.wine is not used).
# So far: the protocol, the transports and what else of the core builds without POSIX, and
# their tests.
# Extra arguments go to ctest (for example -R FrameCodec).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine fonts-wine dpkg-dev googletest

started=$SECONDS
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
cmake --build build-win -j2
built=$SECONDS

trap 'build-win/wine-run.sh --stop' EXIT
build-win/wine-run.sh --start
wine_ready=$SECONDS

status=0
ctest --test-dir build-win --output-on-failure -j "$(nproc)" "$@" || status=$?
echo "test-windows: configure and build $((built - started)) s, Wine start $((wine_ready - built)) s," \
  "tests $((SECONDS - wine_ready)) s"
exit $status
