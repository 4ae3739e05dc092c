#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and those named as arguments
# (e.g. lintian for the package checks); does nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  librsvg2-bin desktop-file-utils
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libboost-dev
  libtinyxml-dev
  libcli11-dev nlohmann-json3-dev help2man bash-completion
  qt6-base-dev qt6-translations-l10n libgl-dev xvfb xauth
  socat
  icoutils netpbm
)

packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "setup: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
