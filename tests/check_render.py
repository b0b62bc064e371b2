#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real program's renders, read back by sox and aubionotes (audio), mido and
FluidSynth's player (MIDI). Usage: check_render.py PROGRAM formats|midi|failures|files"""

import itertools, os, pty, random, shutil, signal, struct, subprocess, sys, tempfile, time
import mido

PROGRAM, PART = sys.argv[1], sys.argv[2]
FONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
PENTATONIC = {0, 2, 5, 7, 9}  # C D F G A
LONG, SHORT = 0.250, 0.125
CYCLE = 30 * LONG + 4 * SHORT
MAX_SECONDS = 277200


def run(*args, env=None):
    return subprocess.run([PROGRAM, *args], capture_output=True, env={**os.environ, **(env or {})})


def render(path, *extra, seed=7, out=None, length=("--cycles", "2"), wrap=()):
    p = subprocess.run([*wrap, PROGRAM, "--render", path, *length, "--seed", str(seed), "--mode",
                        "pentatonic", *extra], stdout=out, stderr=subprocess.PIPE)
    assert p.returncode == 0 and p.stderr == b"", (path, p.stderr)
    return path


def notes(path):
    out = subprocess.run(["aubionotes", "-i", path], capture_output=True, text=True).stdout
    return [round(float(line.split()[0])) for line in out.splitlines() if len(line.split()) == 3]


def decoded(path):
    return subprocess.run(["sox", path, "-t", "raw", "-"], capture_output=True).stdout


def piped(path, *extra, **kwargs):
    """Renders to standard output through a real pipe, into `path`."""
    with open(path, "wb") as f:
        cat = subprocess.Popen(["cat"], stdin=subprocess.PIPE, stdout=f)
        render("-", *extra, out=cat.stdin, **kwargs)
        cat.stdin.close()
        assert cat.wait() == 0
    return path


def formats(d):
    # format, lossless (same bytes every time), read by sox
    for fmt, lossless, sox in [("wav", 1, 1), ("flac", 1, 1), ("ogg", 0, 1), ("opus", 0, 0),
                               ("mp3", 0, 0)]:
        path, piped_path = f"{d}/a.{fmt}", piped(f"{d}/piped.{fmt}", "--format", fmt)
        render(path)
        if lossless:  # standard output on a file, from where it stands, is finished as a file
            with open(f"{d}/stdout.{fmt}", "wb") as f:
                f.write(b"head"), f.flush()
                render("-", "--format", fmt, out=f)
            assert open(f"{d}/stdout.{fmt}", "rb").read() == b"head" + open(path, "rb").read(), fmt
        found = notes(path)
        assert len(found) > 40 and {n % 12 for n in found} <= PENTATONIC, (fmt, found)
        # The same audio (and, lossless, bytes), and another seed, another melody.
        same = decoded if sox else notes
        assert same(path) != same(render(f"{d}/other.{fmt}", seed=8)), fmt
        if fmt == "mp3":  # a stream lacks only the file's first frame: its info, written last
            assert open(path, "rb").read().endswith(open(piped_path, "rb").read())
        else:
            assert same(piped_path) == same(path), fmt
        if lossless:
            assert open(path, "rb").read() == open(render(f"{d}/again.{fmt}"), "rb").read(), fmt
        if sox:  # the melody's 16 s and the release, loud enough and not clipped
            stat = subprocess.run(["sox", path, "-n", "stat"], capture_output=True, text=True).stderr
            value = {k.strip(): float(v) for k, v in (l.split(":") for l in stat.splitlines() if ":" in l)}
            assert 16 < value["Length (seconds)"] < 21 and 0.1 < value["Maximum amplitude"] < 1, stat
    # A stream's WAV header: the sizes "unknown", as ffmpeg writes them.
    wav, streamed = open(f"{d}/a.wav", "rb").read(), open(f"{d}/piped.wav", "rb").read()
    assert streamed == wav[:4] + b"\xff" * 4 + wav[8:40] + b"\xff" * 4 + wav[44:]


def midi(d):
    path = f"{d}/a.mid"
    render(path, length=("--cycles", "6"))
    with open(f"{d}/stdout.mid", "wb") as f:
        render("-", "--format", "mid", length=("--cycles", "6"), out=f)
    piped(f"{d}/piped.mid", "--format", "mid", length=("--cycles", "6"))
    assert open(path, "rb").read() == open(f"{d}/stdout.mid", "rb").read() == open(
        f"{d}/piped.mid", "rb").read()
    m = mido.MidiFile(path)
    assert (m.type, len(m.tracks), m.ticks_per_beat) == (1, 3, 480)
    assert [x.tempo for x in m.tracks[0] if x.type == "set_tempo"] == [500000]
    tracks = []  # per channel: (seconds, note, velocity), velocity 0 for an end
    for channel, track in ((0, m.tracks[1]), (1, m.tracks[2])):
        assert [(x.channel, x.program) for x in track if x.type == "program_change"] == [(channel, 0)]
        ticks = itertools.accumulate(x.time for x in track)
        tracks.append([(round(t / 960, 6), x.note, x.velocity * (x.type == "note_on"))
                       for t, x in zip(ticks, track) if x.type in ("note_on", "note_off")])
        assert {x.channel for x in track if x.type.startswith("note")} == {channel}
    ons = [[e for e in events if e[2]] for events in tracks]
    offs = [{(t, n) for t, n, v in events if not v} for events in tracks]
    tiers, steps = set(), [(k * LONG, LONG) for k in range(30)] + [(7.5 + k * SHORT, SHORT) for k in range(4)]
    for start, length in ((c * CYCLE + s, l) for c in range(6) for s, l in steps):
        start, end = round(start, 6), round(start + length, 6)
        (_, note, vel), *companions = sorted((e for e in ons[0] if e[0] == start), key=lambda e: -e[1])
        assert note % 12 in PENTATONIC and vel in range(40, 101, 10), (start, note, vel)
        assert (end, note) in offs[0] and all((end, n) in offs[0] for _, n, _ in companions), start
        tiers.add(tier := 0 if length == SHORT or vel < 70 else min(vel // 10 * 10, 90))
        companion = {90: [(note - 36, vel - 20)], 70: [(note - 12, vel - 10)]}.get(tier, [])
        assert [(n, v) for _, n, v in companions] == companion, (start, companions)
        held = [(n, v) for t, n, v in ons[1] if t == start]
        assert held == ([(note - 24, vel - 15)] if tier == 80 else []), (start, held)
    assert tiers == {0, 70, 80, 90}, tiers
    for events in tracks:  # every note is ended, and ended before it is struck again
        sounding = set()
        for t, n, v in events:
            assert not (v and n in sounding), (t, n)
            (sounding.add if v else sounding.discard)(n)
        assert not sounding, sounding
    # The longest render is a valid file for FluidSynth's player.
    render(f"{d}/long.mid", length=("--seconds", str(MAX_SECONDS)))
    p = subprocess.Popen(["fluidsynth", "-n", "-q", "-a", "file", "-o", "audio.file.name=/dev/null",
                          FONT, f"{d}/long.mid"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    time.sleep(2)  # the player reads the file as it starts
    assert b"error" not in p.communicate(b"quit\n")[1]


def failures(d):
    font = open(FONT, "rb").read()
    rng, bags = random.Random(13), font.index(b"pbag") + 12
    damaged = font[:bags] + b"\xff" * 40 + font[bags + 40:]  # indices past the outer checks
    fonts = {"empty": b"", "noise": bytes(rng.randrange(256) for _ in range(1000)),
             "cut": font[:3000000], "damaged": damaged}
    def with_samples(n):  # only the first n bytes of the sample data, every size to match
        at = font.index(b"smpl") + 4
        cut = int.from_bytes(font[at:at + 4], "little") - n
        data = bytearray(font[:at + 4 + n] + font[at + 4 + n + cut:])
        for where in (4, font.index(b"sdta") - 4, at):  # RIFF, LIST sdta, smpl
            data[where:where + 4] = (int.from_bytes(data[where:where + 4], "little") - cut).to_bytes(4, "little")
        return bytes(data)
    fonts["nosamples"], fonts["outside"] = with_samples(0), with_samples(1000)
    [open(f"{d}/{name}.sf2", "wb").write(data) for name, data in fonts.items()]
    os.mkfifo(f"{d}/pipe.sf2"), os.mkdir(f"{d}/taken.wav")
    # The SoundFont in use, under other names: a link, a hard link, another spelling.
    own = f"{d}/font.sf2"
    shutil.copy(FONT, own), os.symlink("font.sf2", f"{d}/fontlink"), os.link(own, f"{d}/hard.sf2")
    itself, wav = "it is the SoundFont in use", ["--format", "wav", "--cycles", "1"]
    reading_only = "descriptor 1 is open only for reading; open it for writing"
    r = ["--render", f"{d}/out.wav", "--cycles", "1"]
    cases = [  # arguments, environment, exit status, words[, standard output]
        (["--mode", "dor\nian"], {}, 2, 'unknown mode "dor\\x0Aian"; choose one of: dorian, ph'),
        (["--loud"], {}, 2, "Unknown option"), (["--mode"], {}, 2, "Missing value"),
        (["song.wav"], {}, 2, "unexpected argument"), (["--no-synth"], {}, 2, "needs --midi-out"),
        (["--cycles", "2"], {}, 2, "go with --render"), (r + ["--midi-out"], {}, 2, "exclude"),
        (r + ["--midi-out=jack"], {}, 2, "exclude"), (["--midi-out=usb"], {}, 2, 'unknown MIDI system "usb"'),
        (["--audio", "oss"], {}, 2, 'unknown sound system "oss"'), (r + ["--audio", "alsa"], {}, 2, "leave out"),
        (["--no-connect"], {}, 2, "goes with --audio jack"), (["--audio", "pulse", "--no-connect"], {}, 2, "goes with"),
        (["--audio", "jack", "--midi-out=alsa"], {}, 2, "on JACK's clock"),
        (r + ["--seconds", "1"], {}, 2, "--cycles or --seconds"),
        (["--render", "a.aiff", "--cycles", "1"], {}, 2, ".opus, .mp3 or .mid, or name"),
        (["--render", "-", "--cycles", "1"], {}, 2, "needs --format"), (r + ["--format", "ai"], {}, 2, "unknown format"),
        (["--seed", "18446744073709551616"], {}, 2, "--seed needs"),
        (["--render", f"{d}/x.mid", "--seconds", str(MAX_SECONDS + 1)], {}, 2, "at most 277200"),
        (["--render", f"{d}/x.mid", "--cycles", str(MAX_SECONDS // 8 + 1)], {}, 2, "from 1 to 34650"),
        (["--render", f"{d}/x.mid", "--cycles", "0"], {}, 2, "--cycles needs"),
        (["--soundfont", f"{d}/missing.sf2"], {}, 2, "SoundFont not found"),
        # The user's language, for the command line and the render alike.
        (["--soundfont", f"{d}/missing.sf2"], {"LC_ALL": "de_DE.UTF-8"}, 2, "SoundFont nicht gefunden"),
        (["--render", f"{d}/taken.wav", "--cycles", "1"], {"LANG": "es_ES.UTF-8"}, 2, "es una carpeta"),
        (["--soundfont", d], {}, 2, "is a folder"),
        (["--soundfont", f"{d}/pipe.sf2"], {}, 2, "not a regular file"),
        (["--soundfont", f"{d}/empty.sf2"], {}, 2, "is empty"),
        (["--soundfont", f"{d}/noise.sf2"], {}, 2, "not a SoundFont"),
        (["--soundfont", f"{d}/cut.sf2"], {}, 2, "is incomplete"),
        (r + ["--soundfont", f"{d}/nosamples.sf2"], {}, 2, 'no sample data (its "smpl" chunk is empty)'),
        (["--soundfont", f"{d}/outside.sf2"], {}, 2, "lies outside its sample data"),
        (r, {"QUILLOTONE_SOUNDFONT": f"{d}/nosamples.sf2"}, 2, "no sample data"),
        (["--mode", b"x\x9b\xc2\x9b\xc2\x85\xe2\x80\xae\xe2\x81\xa6\xc3\xa9\xc0\x9b\xd8\x9c\xf3\xa0\x80\x81"],
         {}, 2, 'mode "x\\x9B\\u009B\\u0085\\u202E\\u2066\xc3\xa9\\xC0\\x9B\\u061C\\U000E0001"'),
        (["--render", f"{d}/{'x' * 256}.wav", "--cycles", "1"], {}, 2, "the name is too long"),
        (r + ["--soundfont", f"{d}/damaged.sf2"], {"ASAN_OPTIONS": "detect_leaks=0"}, 2,
         "not a valid .sf2"),
        (r, {"QUILLOTONE_SOUNDFONT": f"{d}/missing.sf2"}, 2, "QUILLOTONE_SOUNDFONT: SoundFont not"),
        (["--render", f"{d}/no/out.mid", "--cycles", "1"], {}, 2, "No such file or directory"),
        (["--render", f"{d}/taken.wav", "--cycles", "1"], {}, 2, "it is a folder"),
        (["--render", "/dev/full", "--format", "mid", "--cycles", "1"], {}, 1, "No space left"),
        (["--soundfont", own, "--render", own] + wav, {}, 2, itself),
        (["--render", own] + wav, {"QUILLOTONE_SOUNDFONT": own}, 2, itself),
        (["--soundfont", own, "--render", f"{d}/fontlink"] + wav, {}, 2, itself),
        (["--soundfont", f"{d}/fontlink", "--render", f"{d}/../{os.path.basename(d)}/./font.sf2"]
         + wav, {}, 2, itself),
        (["--soundfont", own, "--render", f"{d}/hard.sf2", "--format", "mid", "--cycles", "1"], {},
         2, itself),
        (["--render", "/proc/self/fd/1"] + wav, {}, 2, reading_only, open(own, "rb")),
        (["--render", "-", "--format", "mid", "--cycles", "1"], {}, 2, reading_only, open(own, "rb")),
    ]
    for number in ("--seed", "--cycles", "--seconds"):  # one rule for every number
        for text in (" 5", "5 ", "+5", "-5", "5e0", "0x5", "", "five"):
            cases.append((["--render", f"{d}/x.mid", number, text], {}, 2, f'{number} needs'))
    for args, env, status, words, *out in cases:
        p = subprocess.run([PROGRAM, *args], stdout=out[0] if out else subprocess.PIPE,
                           stderr=subprocess.PIPE, env={**os.environ, **env})
        err = p.stderr.decode("latin-1")
        assert (p.returncode, p.stdout or b"") == (status, b""), (args, p.returncode, err)
        assert err.count("\n") == 1 and err.startswith("quillotone: ") and words in err, (args, err)
    assert open(own, "rb").read() == font
    # A file-size limit, in every format and on standard output: one line,
    # status 1, nothing left behind. A failed write is noticed at once: at the
    # end, this would outlast the test.
    limited = ["sh", "-c", 'ulimit -f 200 && exec "$0" "$@"', PROGRAM, "--seconds",
               str(MAX_SECONDS), "--render"]
    for fmt in ("wav", "flac", "ogg", "opus", "mp3", "mid", None):
        out = open(f"{d}/stdout.flac", "wb") if fmt is None else subprocess.DEVNULL
        p = subprocess.run(limited + ([f"{d}/big.{fmt}"] if fmt else ["-", "--format", "flac"]),
                           stdout=out, stderr=subprocess.PIPE)
        assert p.returncode == 1 and p.stderr.count(b"\n") == 1, (fmt, p.returncode, p.stderr)
        assert p.stderr.endswith(b"File too large\n"), (fmt, p.stderr)
    assert os.path.getsize(f"{d}/stdout.flac") == 0  # as the shell made it
    with open("/dev/full", "w") as full:
        p = subprocess.run([PROGRAM, "--help"], stdout=full, stderr=subprocess.PIPE)
        assert p.returncode == 1 and p.stderr.endswith(b"No space left on device\n"), p.stderr
    _, terminal = pty.openpty()
    p = subprocess.run([PROGRAM, "--render", "-", "--format", "wav", "--cycles", "1"],
                       stdout=terminal, stderr=subprocess.PIPE)
    assert p.returncode == 2 and b"a terminal; send" in p.stderr, p.stderr
    assert sorted(os.listdir(d)) == sorted([f + ".sf2" for f in fonts] + [
        "pipe.sf2", "taken.wav", "font.sf2", "fontlink", "hard.sf2", "stdout.flac"])


def xattrs(path):
    return {name: os.getxattr(path, name) for name in os.listxattr(path)}


def writes_in(pid, folder):
    """Whether the process has a file open in `folder`: its render, named or not."""
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}").startswith(folder + "/"):
                return True
        except OSError:  # closed meanwhile
            pass
    return False


def files(d):
    target = f"{d}/song.wav"
    open(target, "wb").write(b"the old song")
    os.chmod(target, 0o600)
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGKILL):
        p = subprocess.Popen([PROGRAM, "--render", target, "--seconds", "100000"])
        while not writes_in(p.pid, d):
            time.sleep(0.01)
        p.send_signal(sig)
        assert p.wait() == -sig and os.listdir(d) == ["song.wav"], (sig, os.listdir(d))
        assert open(target, "rb").read() == b"the old song"
    # A file replaced keeps its owner, group, permissions and ACL (user 1234
    # may read), and is on the disk, under its name, before the render ends.
    os.chown(target, 1, 2)
    acl = struct.pack("<I" + "HHI" * 5, 2, 1, 6, 2**32 - 1, 2, 4, 1234, 4, 0, 2**32 - 1,
                      0x10, 4, 2**32 - 1, 0x20, 0, 2**32 - 1)
    try:
        os.setxattr(target, "system.posix_acl_access", acl)
    except OSError:  # a file system without ACLs
        pass
    before = os.stat(target), xattrs(target)
    # LeakSanitizer cannot work under ptrace: a sanitized build is traced without it.
    no_leak_check = "ASAN_OPTIONS=" + os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    render(target, "--format", "wav", wrap=["env", no_leak_check, "strace", "-f", "-qq", "-o",
                                            f"{d}/trace", "-e", "trace=/^(fsync|linkat|rename.*)$"])
    after = os.stat(target), xattrs(target)
    assert [(x.st_uid, x.st_gid, x.st_mode) for x, _ in (before, after)] == [(1, 2, 0o100640 if
                                                                            before[1] else 0o100600)] * 2
    assert before[1] == after[1], (before, after)
    calls = [line.split()[1].split("(")[0].rstrip("at2") for line in open(f"{d}/trace")]
    os.remove(f"{d}/trace")
    # The file; a link beside the name taken, then over it; the folder.
    assert calls == ["fsync", "link", "link", "rename", "fsync"], calls
    old = os.umask(0o027)
    render(f"{d}/new.mid")
    os.umask(old)
    assert os.stat(f"{d}/new.mid").st_mode & 0o777 == 0o640
    # Names are bytes, whatever their encoding, up to the longest allowed.
    name, font = os.fsencode(d) + b"/bad\xff.sf2", os.fsencode(d) + b"/F\xfe.sf2"
    os.symlink(FONT, font)
    for path in (name, os.fsencode(d) + b"/" + b"x" * 251 + b".mid"):
        p = subprocess.run([PROGRAM, "--render", path, "--cycles", "1", "--seed", "1",
                            "--format", "wav", "--soundfont", font], capture_output=True)
        assert p.returncode == 0 and os.path.exists(path), (path, p.stderr)
    # Written where the user points, and nowhere else: through a symbolic link
    # (which stays), to our own descriptor, to a FIFO as it is read.
    os.truncate(target, 0)
    os.symlink("song.wav", f"{d}/link.wav")
    os.symlink("/proc/self/fd/1", f"{d}/out")
    os.mkfifo(f"{d}/fifo")
    reader = subprocess.Popen(["cat", f"{d}/fifo"], stdout=open(f"{d}/fromfifo.wav", "wb"))
    with open(f"{d}/stdout.wav", "wb") as out:
        for path in ("link.wav", "out", "fifo"):
            render(f"{d}/{path}", "--format", "wav", out=out)
    assert os.path.islink(f"{d}/link.wav") and os.path.islink(f"{d}/out")
    reader.wait()
    assert decoded(target) == decoded(f"{d}/stdout.wav") == decoded(f"{d}/fromfifo.wav") != b""
    # A FIFO with no reader yet: the render waits for one, and says so once
    # where stderr is a terminal.
    terminal, stderr = pty.openpty()
    p = subprocess.Popen([PROGRAM, "--render", f"{d}/fifo", "--format", "mid", "--cycles", "1",
                          "--seed", "1"], stderr=stderr)
    os.close(stderr)
    told = b""
    while not told.endswith(b"\n"):
        told += os.read(terminal, 1000)
    assert told.endswith(b"is a FIFO with no reader yet; the render waits for one (Ctrl+C to "
                         b"cancel)\r\n"), told
    assert open(f"{d}/fifo", "rb").read().startswith(b"MThd") and p.wait() == 0
    try:
        told += os.read(terminal, 1000)
    except OSError:  # the terminal's other end closed, with nothing more
        pass
    assert told.count(b"\n") == 1, told
    os.close(terminal)
    # A reader that goes away: status 1, one line; no signal. Standard output
    # streams, so $TMPDIR is not needed.
    p = subprocess.Popen([PROGRAM, "--render", "-", "--format", "flac", "--seconds", "3600"],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         env={**os.environ, "TMPDIR": f"{d}/none"})
    p.stdout.read(1000)
    p.stdout.close()
    assert p.wait() == 1 and p.stderr.read().endswith(b"the reader went away before the end "
                                                      b"(the pipe was closed); the render stopped\n")
    # Another user's file in a sticky folder: refused at once without the right to.
    os.mkdir(f"{d}/sticky", 0o1777)
    open(f"{d}/sticky/theirs.mid", "wb").close()
    os.chown(f"{d}/sticky", 1, 1), os.chown(f"{d}/sticky/theirs.mid", 2, 2)
    p = subprocess.run(["setpriv", "--bounding-set=-fowner", PROGRAM, "--render",
                        f"{d}/sticky/theirs.mid", "--seconds", str(MAX_SECONDS)], capture_output=True)
    assert p.returncode == 2 and b"sticky" in p.stderr, p.stderr
    # Without --seed, the seed drawn is told, and replays the melody.
    seed = run("--render", f"{d}/fresh.mid", "--cycles", "1").stderr.split()[-1].decode()
    run("--render", f"{d}/replay.mid", "--cycles", "1", "--seed", seed)
    assert open(f"{d}/fresh.mid", "rb").read() == open(f"{d}/replay.mid", "rb").read(), seed
    # The variable names the SoundFont, as it does for the window.
    p = run("--render", f"{d}/env.wav", "--cycles", "1", "--seed", "1",
            env={"QUILLOTONE_SOUNDFONT": font})
    assert p.returncode == 0 and open(f"{d}/env.wav", "rb").read() == open(name, "rb").read()


with tempfile.TemporaryDirectory() as folder:
    {"formats": formats, "midi": midi, "failures": failures, "files": files}[PART](folder)
    print("ok:", PART)
