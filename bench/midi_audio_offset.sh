#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs midi_audio_offset_bench on a server of its own, under
# `flock /tmp/quillotone-servers.lock`:
#   bench/midi_audio_offset.sh BENCH_BINARY [seconds]
#     a private PipeWire server: the MIDI port on its JACK service (pw-jack,
#     Debian package pipewire-jack), the synth's stream on its pulse service;
#   bench/midi_audio_offset.sh --pw-jack BENCH_BINARY [seconds]
#     the same server, the program one client of its JACK service (--audio jack);
#   bench/midi_audio_offset.sh --jackd BENCH_BINARY [seconds [RATE PERIOD]...]
#     --audio jack on jackd's dummy driver, at each rate and period
#     (44100 and 48000 Hz at 64, 256 and 1024 frames, 30 s each, unless given).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mode=pulse
case "$1" in --pw-jack | --jackd) mode=${1#--}; shift ;; esac
bench=$1 seconds=${2:-60}
if [ "$mode" = jackd ]; then
  seconds=${2:-30}
  shift $(($# < 2 ? $# : 2))
  settings=${*:-44100 64 44100 256 44100 1024 48000 64 48000 256 48000 1024}
  export JACK_DEFAULT_SERVER=quillotone-bench JACK_NO_START_SERVER=1
  trap '[ -z "${jackd:-}" ] || kill "$jackd" 2>/dev/null' EXIT
  set -- $settings
  while [ $# -ge 2 ]; do
    jackd -R -P 10 -d dummy -r "$1" -p "$2" >/dev/null 2>&1 &
    jackd=$!
    jack_wait -w -t 10 >/dev/null
    "$bench" --jack "$seconds"
    kill "$jackd" && wait "$jackd" || true
    jackd= && shift 2
  done
  exit 0
fi
dir=$(mktemp -d /tmp/quillotone-offset-XXXXXX)
trap '"$here/../tests/sound_server.sh" stop "$dir"; rm -rf "$dir"' EXIT
"$here/../tests/sound_server.sh" start pipewire "$dir" $$
export XDG_RUNTIME_DIR="$dir" PIPEWIRE_RUNTIME_DIR="$dir" PULSE_SERVER="unix:$dir/pulse/native"
# The null sink runs at its nominal rate only while its monitor is read.
parec -d quillotone_test.monitor --raw /dev/null &
if [ "$mode" = pw-jack ]; then
  pw-jack "$bench" --jack "$seconds"
else
  pw-jack "$bench" quillotone_test "$seconds"
fi
kill $! 2>/dev/null || true
