#!/usr/bin/env bash
# The demo: installs what is missing, builds, makes a demo folder with generated firmware files,
# starts the simulator and updates it, with the wizard when a display is available and with the
# command line otherwise. Shows where the log is and which version now runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

demo=$root/demo
mkdir -p "$demo"
rm -f "$demo"/*.img "$demo"/*.smp "$demo"/*.dsp "$demo"/TarvelinLog.txt "$demo"/flash.txt

# Raw images; the coder image names its version in the file name and carries it inside, where
# the simulated coder reads it after the update.
head -c 307200 /dev/urandom >"$demo/Coder_V02_16.img"
printf 'TVERV2.16' | dd of="$demo/Coder_V02_16.img" bs=1 seek=4096 conv=notrunc status=none
head -c 40960 /dev/urandom >"$demo/Samples_V01_02.smp"
head -c 65536 /dev/urandom >"$demo/Dsp_V01_05.dsp"

# The programs look for firmware and write their log beside themselves.
cp build/cli/tarvelin-cli "$demo/"
[ -x build/ui/tarvelin ] && cp build/ui/tarvelin "$demo/"

simout=$demo/sim.out
build/sim/tarvelin-sim --tcp 0 --firmware-version V2.15 --main-port none --dump "$demo/flash.txt" \
  >"$simout" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q '^ready' "$simout" && break
  sleep 0.1
done
port=$(sed -n 's/^tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$simout")
[ -n "$port" ] || { echo "demo: the simulator did not start:"; cat "$simout"; exit 1; }
echo "demo: simulated coder (firmware V2.15) behind a NetPC at 127.0.0.1:$port"

if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -x "$demo/tarvelin" ]; then
  # Preset the Connect page with the simulator's address in a settings folder of the demo.
  export XDG_CONFIG_HOME=$demo/config
  mkdir -p "$XDG_CONFIG_HOME/Orvane"
  printf '[Settings]\nConnectionType=1\nTcpAddress=127.0.0.1\nTcpPort=%s\n' "$port" \
    >"$XDG_CONFIG_HOME/Orvane/tarvelin.conf"
  echo "demo: starting the wizard; choose TCP/IP 127.0.0.1:$port (preset) and press Next"
  "$demo/tarvelin" || true
else
  "$demo/tarvelin-cli" update --tcp "127.0.0.1:$port" --yes || true
fi

echo
echo "demo: update log: $demo/TarvelinLog.txt"
grep -a 'New firmware version' "$demo/TarvelinLog.txt" || echo "demo: no new version was read"
kill -USR1 "$sim" 2>/dev/null && sleep 0.3
echo "demo: simulated flash (SHA-256 per region) beside the files:"
cat "$demo/flash.txt" 2>/dev/null || true
(cd "$demo" && sha256sum Coder_V02_16.img Samples_V01_02.smp Dsp_V01_05.dsp)
