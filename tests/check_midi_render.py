#!/usr/bin/python3
"""Renders melodies to Standard MIDI Files with the real program and reads them
back with mido, an independent parser, checking them against the melody's
rules: the rhythm grid, the mode, the velocities and the second voices."""

import os
import subprocess
import sys
import tempfile

import mido

PROGRAM = sys.argv[1]
IONIAN = {60, 62, 64, 65, 67, 69, 71, 72}
CYCLES = 6
LONG, SHORT = 0.250, 0.125
CYCLE = 30 * LONG + 4 * SHORT
EPS = 1e-9


def render(path, seed, *extra):
    subprocess.run([PROGRAM, "--render", path, "--cycles", str(CYCLES), "--seed", str(seed),
                    "--mode", "ionian", *extra], check=True)
    with open(path, "rb") as f:
        return f.read()


def grid():
    """Every step's start and length, in seconds."""
    steps = []
    for c in range(CYCLES):
        steps += [(c * CYCLE + k * LONG, LONG) for k in range(30)]
        steps += [(c * CYCLE + 30 * LONG + k * SHORT, SHORT) for k in range(4)]
    return steps


def events(track, seconds_per_tick):
    t, out = 0, []
    for msg in track:
        t += msg.time
        if msg.type in ("note_on", "note_off"):
            on = msg.type == "note_on" and msg.velocity > 0
            out.append((t * seconds_per_tick, msg.channel, msg.note, msg.velocity if on else 0))
    return out


def close(a, b):
    return abs(a - b) < EPS


def main():
    with tempfile.TemporaryDirectory() as d:
        first = render(os.path.join(d, "a.mid"), 12345)
        again = render(os.path.join(d, "b.mid"), 12345)
        other = render(os.path.join(d, "c.mid"), 12346)
        assert first == again, "the same seed must give the same bytes"
        assert first != other, "another seed must give another melody"
        midi = mido.MidiFile(os.path.join(d, "a.mid"))

    assert midi.type == 1 and len(midi.tracks) == 3, (midi.type, len(midi.tracks))
    tempos = [m.tempo for m in midi.tracks[0] if m.type == "set_tempo"]
    assert tempos == [500000], tempos
    seconds_per_tick = 0.5 / midi.ticks_per_beat
    for channel, track in ((0, midi.tracks[1]), (1, midi.tracks[2])):
        programs = [(m.channel, m.program) for m in track if m.type == "program_change"]
        assert programs == [(channel, 0)], programs  # Acoustic Grand Piano
        channels = {m.channel for m in track if m.type in ("note_on", "note_off")}
        assert channels <= {channel}, channels

    ch1 = events(midi.tracks[1], seconds_per_tick)
    ch2 = events(midi.tracks[2], seconds_per_tick)
    ons1 = [e for e in ch1 if e[3] > 0]
    ons2 = [e for e in ch2 if e[3] > 0]
    offs1 = [e for e in ch1 if e[3] == 0]
    offs2 = [e for e in ch2 if e[3] == 0]

    def off_at(offs, time, note):
        return any(close(t, time) and n == note for t, _, n, _ in offs)

    steps = grid()
    tiers = {90: 0, 80: 0, 70: 0, 0: 0}
    expected_ons1, expected_ons2 = 0, 0
    for start, length in steps:
        here = sorted((e for e in ons1 if close(e[0], start)), key=lambda e: -e[2])
        assert here, f"no main note at {start:.3f} s"
        _, _, note, velocity = here[0]
        assert note in IONIAN, (start, note)
        assert velocity in range(40, 101, 10), (start, velocity)
        assert off_at(offs1, start + length, note), f"main note {note} at {start} not ended"
        expected_ons1 += 1
        companions = here[1:]
        held = [e for e in ons2 if close(e[0], start)]
        tier = 90 if velocity >= 90 else 80 if velocity >= 80 else 70 if velocity >= 70 else 0
        if length == SHORT:
            tier = 0  # the short phrase is a plain line
        tiers[tier] += 1
        if tier in (90, 70):
            below, softer = (36, 20) if tier == 90 else (12, 10)
            assert [(e[2], e[3]) for e in companions] == [(note - below, velocity - softer)], \
                (start, note, velocity, companions)
            assert off_at(offs1, start + length, note - below)
            assert not held, (start, held)
            expected_ons1 += 1
        elif tier == 80:
            assert not companions, (start, companions)
            assert [(e[2], e[3]) for e in held] == [(note - 24, velocity - 15)], (start, held)
            expected_ons2 += 1
        else:
            assert not companions and not held, (start, companions, held)

    assert len(ons1) == expected_ons1, (len(ons1), expected_ons1)
    assert len(ons2) == expected_ons2, (len(ons2), expected_ons2)
    # Held notes end only where a long step ends (the coin's sweep) or at the
    # render's end, or where the same note is struck again.
    long_ends = {round(s + l, 6) for s, l in steps if l == LONG}
    strikes = {round(e[0], 6) for e in ons2}
    end = CYCLES * CYCLE
    for t, _, _, _ in offs2:
        assert round(t, 6) in long_ends or round(t, 6) in strikes or close(t, end), t
    # Every note is ended by the end of the render.
    for track in (ch1, ch2):
        sounding = set()
        for _, channel, note, velocity in track:
            (sounding.add if velocity else sounding.discard)((channel, note))
        assert not sounding, sounding
    assert all(tiers.values()), f"every voicing should occur in {CYCLES} cycles: {tiers}"
    print(f"ok: {len(steps)} steps, {len(ons1)} + {len(ons2)} note-ons, tiers {tiers}")


main()
