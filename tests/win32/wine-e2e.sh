#!/usr/bin/env bash
# End-to-end runs of tarvelin-cli against the Linux simulator, for the Windows build under Wine.
# A Windows program under Wine gets neither the output nor the exit status of a Linux child, so
# this script starts the simulator and the command line side by side.
#
#   wine-e2e.sh CASE     run one case of the table below; 0 passed, 1 failed, 77 skipped
#   wine-e2e.sh --list   the names of the cases
#
# Environment:
#   TARVELIN_SIM        the Linux tarvelin-sim
#   TARVELIN_CLI        the command line: tarvelin-cli.exe, or a Linux tarvelin-cli when
#                       TARVELIN_WINE_RUN is empty (the same runs for comparison)
#   TARVELIN_WINE_RUN   build-win/wine-run.sh, which runs a Windows program in the build's prefix
#   TARVELIN_ZIP        the portable zip, for its case
#   TARVELIN_FIGURES    a file the updates append their times to (optional)
#   TARVELIN_E2E_KEEP   set: keep the case's folder (firmware, logs, outputs) when it passes too
set -uo pipefail

# Each case: its connection, the simulator's options, then its steps, each COMMAND:STATUS[:WHAT]
# with WHAT the failure kind the JSON must name, or ctrl-c: Ctrl-C once the flash is under way.
# The zip's case runs the program of the portable zip over TCP/IP with the files beside it and no
# folder named, from another working directory: its log must lie beside it.
# A case whose last step is an update or a fleet run that succeeds checks the flash against the
# files. A coder in its firmware runs through the restart into its BIOS; one in its BIOS behind a
# NetPC in transfer mode 1 goes straight to the flash.
cases=(
  "tcp-update       tcp     --main-port 0                       identify:0 update:0"
  "com-9600-update  com     --baud 9600                         identify:0 update:0"
  "com-19200-update com     --baud 19200                        identify:0 update:0"
  "tcp-refused      closed  -                                   identify:4:refused update:4:refused"
  "com-missing      nocom   -                                   identify:4:noDevice"
  "tcp-ctrl-c       tcp     --state bios --transfer-mode 1 --slow-ms 1  update:130:ctrl-c update:0"
  "com-ctrl-c       com     --state bios --slow-ms 1            update:130:ctrl-c update:0"
  "fleet-4          fleet   --coders 4 --state bios --transfer-mode 1   fleet:0"
  "fleet-ctrl-c     fleet   --coders 4 --state bios --transfer-mode 1 --slow-ms 1
                                                              fleet:130:ctrl-c fleet:0"
  "zip-update       zip     --state bios --transfer-mode 1      update:0"
)

# The COM number a pseudo-terminal is mapped to, and one that stands for nothing.
com_number=7
missing_com=9
# Blocks written before Ctrl-C: well inside the coder firmware's 1536.
blocks_before_ctrl_c=200

if [ "${1:-}" = --list ]; then
  for row in "${cases[@]}"; do echo "${row%% *}"; done
  exit 0
fi
name=${1:?usage: wine-e2e.sh CASE | --list}
row=
for candidate in "${cases[@]}"; do
  [ "${candidate%% *}" = "$name" ] && row=$candidate
done
[ -n "$row" ] || { echo "wine-e2e: no case $name (--list names them)" >&2; exit 64; }
read -r -d "" _ connection rest <<<"$row"
sim_options=()
steps=()
for word in $rest; do
  case $word in
  *:*) steps+=("$word") ;;
  -) ;;
  *) sim_options+=("$word") ;;
  esac
done

sim=${TARVELIN_SIM:-}
cli=${TARVELIN_CLI:-}
wine_run=${TARVELIN_WINE_RUN:-}
if [ ! -x "$sim" ]; then
  echo "wine-e2e: no simulator at '$sim': build the Linux tree (build/)" >&2
  exit 1
fi
if [ ! -e "$cli" ]; then
  echo "wine-e2e: skipped, no command line at '$cli'"
  exit 77
fi
runner=linux
[ -n "$wine_run" ] && runner=wine

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvelin-e2e-$name.XXXXXX")
failures=0
sim_pid=
com_link=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  [ -n "$com_link" ] && rm -f "$com_link"
  if [ "$failures" -eq 0 ] && [ -z "${TARVELIN_E2E_KEEP:-}" ]; then
    rm -rf "$work"
  else
    echo "wine-e2e: files kept in $work"
  fi
}
trap cleanup EXIT

fail() {
  echo "FAIL $name: $*"
  failures=$((failures + 1))
}

# Waits until the command succeeds, at most $1 seconds.
wait_for() {
  local bound=$1
  shift
  local end=$((SECONDS + bound))
  until "$@"; do
    [ $SECONDS -lt "$end" ] || return 1
    sleep 0.05
  done
}

# Waits at most $2 seconds for process $1 to end and sets `status` to its exit status; kills it
# past the bound.
finish() {
  local pid=$1 bound=$2
  if ! wait_for "$bound" eval "! kill -0 $pid 2>/dev/null"; then
    kill -KILL "$pid" 2>/dev/null
    fail "pid $pid did not end within $bound s"
  fi
  wait "$pid"
  status=$?
}

# The name a Windows program gives a file of the Linux side (Wine's drive Z: is /).
host_path() {
  if [ "$runner" = wine ]; then
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
  else
    printf '%s' "$1"
  fi
}

# Firmware images as the release has them: the coder's names its version in the file name and
# carries it inside, where the simulated coder reads it after its restart.
files=$work/firmware
mkdir -p "$files"
head -c 98304 /dev/urandom >"$files/Coder_V02_16.img"
printf 'TVERV2.16' | dd of="$files/Coder_V02_16.img" bs=1 seek=64 conv=notrunc status=none
head -c 16384 /dev/urandom >"$files/Dsp_V01_00.smp"
head -c 32768 /dev/urandom >"$files/Dsp_V01_00.dsp"
image_bytes=$((98304 + 16384 + 32768))

# Starts the simulator with the case's options and reads its ports and pseudo-terminals.
start_sim() {
  local transport=()
  case $connection in
  com) transport=(--serial) ;;
  *) transport=(--tcp 0) ;;
  esac
  "$sim" "${transport[@]}" --time-scale 0 --dump-raw "$work/flash" "${sim_options[@]}" \
    >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  wait_for 5 grep -qs '^ready$' "$work/sim.out" ||
    { fail "the simulator did not start: $(cat "$work/sim.err")"; return 1; }
}

# Ends the simulator, which writes its flash, and compares each region with its file.
check_flash() {
  local pid=$sim_pid
  sim_pid=
  kill -TERM "$pid"
  finish "$pid" 5
  [ "$status" -eq 0 ] || fail "the simulator ended with $status"
  local folders=("$work/flash")
  [ "$connection" = fleet ] && folders=("$work/flash"/[0-9]*)
  local folder
  for folder in "${folders[@]}"; do
    { cmp -s "$folder/region0.bin" "$files/Coder_V02_16.img" &&
      cmp -s "$folder/region1.bin" "$files/Dsp_V01_00.smp" &&
      cmp -s "$folder/region2.bin" "$files/Dsp_V01_00.dsp"; } ||
      fail "the flash in ${folder#"$work"/} differs from the files"
  done
  [ ${#folders[@]} -gt 0 ] || fail "no flash was written"
}

# The simulator's (first) TCP port.
sim_port() { sed -n '1s/^tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out"; }

# The connection options of one run, and for a fleet its inventory.
target() {
  case $connection in
  tcp | zip) echo "--tcp 127.0.0.1:$(sim_port)" ;;
  closed) echo "--tcp 127.0.0.1:$closed_port" ;;
  com)
    if [ "$runner" = wine ]; then echo "--serial COM$com_number"; else echo "--serial $pty"; fi
    ;;
  nocom) echo "--serial COM$missing_com" ;;
  fleet) host_path "$work/fleet.csv" ;;
  esac
}

# Whether the log holds at least $2 write-block requests.
blocks_logged() {
  local count
  count=$(grep -cs ',52,53,50,' "$1")
  [ "${count:-0}" -ge "$2" ]
}

# Writes each output line with the time it arrived.
stamp() {
  local line
  while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done
}

# One run of the command line; its stamped output in $work/N.out, the last line (the result) in
# $work/N.json, standard error in $work/N.err.
run=0
run_cli() {
  local command=$1 expected=$2 what=$3
  run=$((run + 1))
  local out=$work/$run.out err=$work/$run.err log=$work/$run.log
  # The fleet's first coder's log shows how far its flash is.
  [ "$command" = fleet ] && log=$work/logs/c1.log
  local args=("$command")
  # shellcheck disable=SC2207 # target gives words, none of them with spaces
  args+=($(target))
  [ "$connection" = zip ] || args+=(--firmware-dir "$(host_path "$files")")
  args+=(--lang en)
  if [ "$connection" = zip ]; then
    log=$files/TarvelinLog.txt
    args+=(--events --yes)
  elif [ "$command" = fleet ]; then
    args+=(--log-dir "$(host_path "$work/logs")" --json -j 4 --yes)
  else
    args+=(--log "$(host_path "$log")" --events)
    [ "$command" = update ] && args+=(--yes)
  fi
  # Bash starts a background job with SIGINT ignored; Ctrl-C in a terminal finds it default.
  local program=(env --default-signal=INT "$cli")
  [ "$runner" = wine ] && program=(env --default-signal=INT "$wine_run" "$cli")

  mkfifo "$work/$run.fifo"
  stamp <"$work/$run.fifo" >"$out" &
  local reader=$!
  local started=$EPOCHREALTIME
  (cd "$work" && exec "${program[@]}" "${args[@]}") >"$work/$run.fifo" 2>"$err" &
  local pid=$!
  if [ "$what" = ctrl-c ]; then
    if wait_for 60 blocks_logged "$log" "$blocks_before_ctrl_c"; then
      kill -INT "$pid"
    else
      fail "run $run: $blocks_before_ctrl_c blocks were not written within 60 s"
    fi
  fi
  finish "$pid" 120
  local ended=$EPOCHREALTIME exit_status=$status
  # Its output ends with it, unless a process it started holds the pipe (a Wine service started
  # with the program instead of before it).
  finish "$reader" 10
  status=$exit_status
  tail -n 1 "$out" | cut -d' ' -f2- >"$work/$run.json"

  json=$work/$run.json
  if [ "$status" -ne "$expected" ]; then
    fail "$command exited with $status, not $expected; standard error ends:"
    tail -n 5 "$err" | sed 's/^/    /'
    return
  fi
  case $command:$what in
  identify:)
    [ "$(field .currentVersion)" = 2.15 ] ||
      fail "identify found $(field .currentVersion), not 2.15"
    if [ "$connection" = com ]; then
      local baud
      baud=$(printf '%s\n' "${sim_options[@]}" | sed -n '/^--baud$/{n;p}')
      [ "$(field .baudRate)" = "$baud" ] || fail "identify found $(field .baudRate) baud, not $baud"
    fi
    ;;
  update:)
    [ -s "$log" ] || fail "update: no log at $log"
    { [ "$(field .result)" = 0 ] && [ "$(field .newVersion)" = 2.16 ]; } ||
      fail "update: $(field '{result, newVersion, message}' | tr -d '\n')"
    # The slowed coder of a Ctrl-C case says nothing about the transport.
    [[ $name == *-update ]] && figures "$out" "$started" "$ended"
    ;;
  update:ctrl-c)
    { [ "$(field .result)" = 130 ] && [ "$(field .exitStatus)" = 130 ]; } ||
      fail "after Ctrl-C: $(field '{result, exitStatus}' | tr -d '\n')"
    field .message | grep -q '^Interrupted by the user at block 8000:' ||
      fail "after Ctrl-C the message is: $(field .message)"
    last_frame_answered "$log"
    ;;
  fleet:ctrl-c)
    local outcomes
    outcomes=$(field '[.coders[].outcome] | join(" ")')
    { [ "$(field .interrupted)" = true ] &&
      [ "$outcomes" = "interrupted interrupted interrupted interrupted" ]; } ||
      fail "fleet after Ctrl-C: interrupted $(field .interrupted), outcomes $outcomes"
    last_frame_answered "$log"
    ;;
  fleet:)
    local outcomes
    outcomes=$(field '[.coders[].outcome] | join(" ")')
    [ "$outcomes" = "succeeded succeeded succeeded succeeded" ] ||
      fail "fleet outcomes: $outcomes"
    ;;
  *:*)
    [ "$(field .failureKind)" = "$what" ] ||
      fail "$command: failure kind $(field .failureKind), not $what"
    local reason
    reason=$(field .reason)
    grep -qF -- "$reason" "$err" || fail "$command: the reason '$reason' is not on standard error"
    case $what in
    refused) [ "$reason" = "127.0.0.1:$closed_port refused the connection." ] ;;
    noDevice) [[ $reason == *COM$missing_com* ]] ;;
    esac || fail "$command: the reason is '$reason'"
    ;;
  esac
  echo "ok $name: $command exited with $status ($(elapsed "$started" "$ended") s)"
}

# The exchange under way when Ctrl-C came completed: the last frame of the log is the coder's
# answer.
last_frame_answered() {
  [ "$(grep -E '^(->|<-) ' "$1" | tail -n 1 | cut -c1-2)" = '<-' ] ||
    fail "after Ctrl-C the last frame of $(basename "$1") is a request"
}

# A field of the last run's result.
field() { jq -r "$1" "$json" 2>/dev/null; }

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# The time of the whole update and of its flash alone (from the first stage to the finish
# command), which leaves out the coder's fixed restart pauses.
figures() {
  local out=$1 started=$2 ended=$3
  local first last
  first=$(grep -m1 '"event":"stage"' "$out" | cut -d' ' -f1)
  last=$(grep -m1 '"text":"Finalize flash programming' "$out" | cut -d' ' -f1)
  local line
  local rate
  rate=$(awk -v a="$first" -v b="$last" -v n="$image_bytes" \
    'BEGIN { printf "%.0f", n / 1024 / (b - a) }')
  line=$(printf '%-5s %-16s update %6s s, flash %5s s (%d KiB, %s KiB/s)' "$runner" "$name" \
    "$(elapsed "$started" "$ended")" "$(elapsed "$first" "$last")" $((image_bytes / 1024)) "$rate")
  echo "$line"
  [ -n "${TARVELIN_FIGURES:-}" ] && echo "$line" >>"$TARVELIN_FIGURES"
}

closed_port=
pty=
case $connection in
closed)
  # The port of a simulator that has ended: nobody listens there now.
  start_sim || exit 1
  closed_port=$(sim_port)
  kill -TERM "$sim_pid"
  finish "$sim_pid" 5
  sim_pid=
  ;;
nocom)
  if [ "$runner" = wine ]; then
    rm -f "$WINEPREFIX/dosdevices/com$missing_com"
  else
    export XDG_CONFIG_HOME=$work/config
  fi
  ;;
com)
  start_sim || exit 1
  pty=$(sed -n 's/^serial //p' "$work/sim.out")
  if [ "$runner" = wine ]; then
    com_link=$WINEPREFIX/dosdevices/com$com_number
    ln -sfn "$pty" "$com_link"
  fi
  ;;
fleet)
  start_sim || exit 1
  {
    echo "name,connection,site"
    sed -n 's/^tcp \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/sim.out" |
      awk '{ printf "c%d,%s,Site %d\n", NR, $0, NR }'
  } >"$work/fleet.csv"
  ;;
zip)
  zip=${TARVELIN_ZIP:-}
  if [ "$runner" != wine ] || [ ! -f "$zip" ]; then
    echo "wine-e2e: skipped, no portable zip at '$zip' or not under Wine"
    exit 77
  fi
  unzip -q "$zip" -d "$work/zip"
  cli=$(echo "$work"/zip/*/tarvelin-cli.exe)
  mv "$files"/* "${cli%/*}/"
  files=${cli%/*}
  start_sim || exit 1
  ;;
*)
  start_sim || exit 1
  ;;
esac

for step in "${steps[@]}"; do
  IFS=: read -r command expected what <<<"$step"
  run_cli "$command" "$expected" "${what:-}"
done
last=${steps[-1]}
case $last in
update:0 | fleet:0) check_flash ;;
esac
[ "$failures" -eq 0 ] && echo "ok $name"
[ "$failures" -eq 0 ]
