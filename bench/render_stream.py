#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A render streamed to a pipe, as `quillotone --render - | player` runs it:
the time to the first byte, the whole time, and the peak memory (GNU time's
maximum resident set).
Usage: render_stream.py PROGRAM [seconds of melody, default 3600] [format, default flac]"""

import os, subprocess, sys, tempfile, time

program = sys.argv[1]
seconds = sys.argv[2] if len(sys.argv) > 2 else "3600"
fmt = sys.argv[3] if len(sys.argv) > 3 else "flac"

with tempfile.TemporaryDirectory() as d:
    start = time.monotonic()
    p = subprocess.Popen(["/usr/bin/time", "-v", "-o", f"{d}/time", program, "--render", "-",
                          "--format", fmt, "--seconds", seconds, "--seed", "1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    first, total = None, 0
    while True:
        chunk = os.read(p.stdout.fileno(), 1 << 16)
        if not chunk:
            break
        if first is None:
            first = time.monotonic() - start
        total += len(chunk)
    p.wait()
    whole = time.monotonic() - start
    rss = next(int(line.split()[-1]) for line in open(f"{d}/time")
               if "Maximum resident set size" in line)
    print(f"{os.path.basename(program)} {fmt} {seconds} s of melody to a pipe: "
          f"first byte after {first * 1000:.0f} ms, all {total / 1e6:.1f} MB after {whole:.1f} s, "
          f"peak memory {rss / 1024:.1f} MiB, status {p.returncode}")
