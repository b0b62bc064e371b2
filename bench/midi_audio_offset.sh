#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs midi_audio_offset_bench in a private PipeWire server (its JACK service
# through pw-jack, Debian package pipewire-jack; its pulse service for the
# synth's stream). Run under `flock /tmp/quillotone-sound.lock`.
#   bench/midi_audio_offset.sh BENCH_BINARY [seconds]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/quillotone-offset-XXXXXX)
trap '"$here/../tests/sound_server.sh" stop "$dir"; rm -rf "$dir"' EXIT
"$here/../tests/sound_server.sh" start pipewire "$dir" $$
export XDG_RUNTIME_DIR="$dir" PIPEWIRE_RUNTIME_DIR="$dir" PULSE_SERVER="unix:$dir/pulse/native"
# The null sink runs at its nominal rate only while its monitor is read.
parec -d quillotone_test.monitor --raw /dev/null &
pw-jack "$1" quillotone_test "${2:-60}"
kill $! 2>/dev/null || true
