#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A private sound server with one null sink, for the tests and benchmarks:
# PulseAudio, or PipeWire with its pulse service and WirePlumber on a session
# bus of its own. All of it lives in DIR, so no user's server is touched;
# clients reach it with PULSE_SERVER=unix:DIR/pulse/native, and record it
# from quillotone_test.monitor. It ends with OWNER_PID, should that die first.
#   sound_server.sh start pulseaudio|pipewire DIR [OWNER_PID]
#   sound_server.sh stop DIR
set -eu
if [ "$1" = stop ]; then
  pids=$(tr '\n' , <"$2/pids" 2>/dev/null) && rm -f "$2/pids" && kill ${pids//,/ } 2>/dev/null || true
  # Gone, so that a server started next finds its sockets free: one that does
  # not end in 10 s is killed.
  for _ in $(seq 200); do ps -o stat= -p "${pids%,}" | grep -qv Z || exit 0; sleep 0.05; done
  kill -KILL ${pids//,/ } 2>/dev/null || true
  exit 0
fi
kind=$2 dir=$3 owner=${4:-$PPID}
mkdir -p "$dir/pulse" && chmod 700 "$dir"
# What servers stopped before left behind (a killed one leaves its socket).
rm -f "$dir"/*.log "$dir/procs" "$dir/bus" "$dir/pipewire-0"
export HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" XDG_STATE_HOME="$dir" \
  PULSE_RUNTIME_PATH="$dir/pulse" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" PULSE_SERVER=
run() {
  env -u PULSE_SERVER "$@" </dev/null >"$dir/$1.log" 2>&1 &
  echo $! >>"$dir/pids" && echo "$! $1" >>"$dir/procs"
}
# Why it did not start: which server ended, and the servers' own last words.
fail() {
  echo "sound_server.sh: $kind did not start: $1" >&2
  while read -r pid name; do
    kill -0 "$pid" 2>/dev/null || echo "sound_server.sh: $name (pid $pid) has ended" >&2
  done <"$dir/procs"
  tail -n 8 "$dir"/*.log >&2
  exit 1
}
# Each server is started once the one it talks to listens: PipeWire that finds
# no session bus yet, or WirePlumber that finds no PipeWire, gives up.
await() {  # await WHAT SOCKET
  for _ in $(seq 100); do
    [ -S "$2" ] && return 0
    sleep 0.1
  done
  fail "no $1 after 10 s"
}
if [ "$kind" = pulseaudio ]; then
  run pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit -L \
    "module-null-sink sink_name=quillotone_test" -L \
    "module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native"
else
  # No Bluetooth for a null sink: WirePlumber's Bluetooth monitor would load its logind
  # module, which ends WirePlumber where systemd never made /run/systemd/seats. WirePlumber
  # 0.4 (Debian 12) reads Lua files, 0.5 (Debian 13) .conf files; each ignores the other's.
  mkdir -p "$dir/wireplumber/bluetooth.lua.d" "$dir/wireplumber/wireplumber.conf.d"
  echo 'bluez_monitor.enabled = false' >"$dir/wireplumber/bluetooth.lua.d/80-no-bluetooth.lua"
  echo 'wireplumber.profiles = { main = { hardware.bluetooth = disabled, support.logind = disabled } }' \
    >"$dir/wireplumber/wireplumber.conf.d/80-no-bluetooth.conf"
  run dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
  await "session bus" "$dir/bus"
  run pipewire
  await "PipeWire socket" "$dir/pipewire-0"
  run wireplumber && run pipewire-pulse
fi
# The monitor for its owner, until it goes; a later start in DIR has monitors of its own.
mine=$(cat "$dir/pids")
(while kill -0 "$owner" && [ "$(cat "$dir/pids" 2>/dev/null)" = "$mine" ]; do sleep 1; done
  kill -0 "$owner" || kill $mine) </dev/null >/dev/null 2>&1 &
export PULSE_SERVER="unix:$dir/pulse/native"
for _ in $(seq 300); do
  pactl info 2>/dev/null | grep -q "Default Sink: quillotone_test" && exit 0
  while read -r pid name; do kill -0 "$pid" 2>/dev/null || fail "$name ended"; done <"$dir/procs"
  [ "$kind" = pulseaudio ] || pactl list short sinks 2>/dev/null | grep -q quillotone_test ||
    pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=quillotone_test
      media.class=Audio/Sink object.linger=true audio.position=[FL FR] }' >/dev/null 2>&1 || true
  sleep 0.1
done
fail "no sink quillotone_test after 30 s"
