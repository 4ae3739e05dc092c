#!/usr/bin/env bash
# fetch-debian-source.sh NAME DEST [VERSION]
#
# Unpacks Debian 12's source package NAME, with Debian's patches applied by dpkg-source, into
# DEST/NAME-<upstream version>/ and prints that folder. VERSION (optional) asks for that exact
# Debian version first, so a cross build uses the same sources as the Linux one.
#
# apt reads a private configuration in DEST/apt: deb-src lines for the bookworm suites of the
# mirrors the system already uses, lists and cache in DEST. The system's own sources, lists and
# caches stay as they are, and nothing needs root. TARVELIN_DEBIAN_MIRROR=URL overrides the
# mirror.
set -euo pipefail

name=$1
dest=$2
version=${3:-}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

fail() {
  echo "fetch-debian-source: $*" >&2
  exit 1
}

command -v apt-get >/dev/null || fail "apt-get not found: the Windows build needs a Debian host"
command -v dpkg-source >/dev/null ||
  fail "dpkg-source not found: install dpkg-dev (scripts/test-windows.sh installs it)"

apt_dir=$dest/apt
rm -rf "$apt_dir"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"

keyring=/usr/share/keyrings/debian-archive-keyring.gpg
options=""
[ -r "$keyring" ] && options="[signed-by=$keyring] "

if [ -n "${TARVELIN_DEBIAN_MIRROR:-}" ]; then
  mirrors="${TARVELIN_DEBIAN_MIRROR%/}/ bookworm main"
else
  # Every repository the system has for Debian 12, as apt itself reads the sources (one-line
  # and deb822 files alike); security updates come with it.
  # shellcheck disable=SC2016 # apt's own placeholders
  mirrors=$(apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
              'Identifier: Packages' | grep -E '^[^ ]+ bookworm(-updates|-security)? main$' |
              sort -u || true)
fi
[ -n "$mirrors" ] ||
  fail "no Debian 12 (bookworm) repository in the apt sources; set TARVELIN_DEBIAN_MIRROR=URL"
while read -r uri suite component; do
  echo "deb-src ${options}${uri} ${suite} ${component}"
done <<<"$mirrors" >"$apt_dir/sources.list"

# Read after the system's apt.conf.d, so these settings win. The hooks after an update belong to
# the system's own lists (PackageKit, AppStream): not run for ours.
cat >"$apt_dir/apt.conf" <<EOF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
APT::Sandbox::User "root";
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
EOF
export APT_CONFIG=$apt_dir/apt.conf

echo "fetch-debian-source: reading the source lists of $(cut -d' ' -f2 <<<"$mirrors" | paste -sd' ')" >&2
apt-get -q update >"$apt_dir/update.log" 2>&1 || {
  cat "$apt_dir/update.log" >&2
  fail "apt-get update for the source lists failed (log above)"
}
# apt-get update also ends well when a mirror could not be reached.
compgen -G "$apt_dir/lists/*_Sources*" >/dev/null || {
  cat "$apt_dir/update.log" >&2
  fail "no source list could be read from the mirrors (log above)"
}

work=$dest/unpack
rm -rf "$work"
mkdir -p "$work"
fetched=""
if [ -n "$version" ] && (cd "$work" && apt-get -q source "$name=$version") >"$apt_dir/source.log" 2>&1; then
  fetched=$version
elif (cd "$work" && apt-get -q source "$name") >"$apt_dir/source.log" 2>&1; then
  fetched=$(sed -n 's/^Version: //p' "$work"/*.dsc | head -n 1)
  [ -z "$version" ] || echo "fetch-debian-source: $name $version is gone from the mirror, took $fetched" >&2
else
  cat "$apt_dir/source.log" >&2
  fail "apt-get source $name failed (log above)"
fi

unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$name-*" | head -n 1)
[ -n "$unpacked" ] || fail "apt-get source $name left no folder $name-* in $work"
folder=$dest/$(basename "$unpacked")
rm -rf "$folder"
mv "$unpacked" "$folder"
rm -rf "$work" "$apt_dir"
echo "$fetched" >"$folder/.debian-version"
echo "$folder"
