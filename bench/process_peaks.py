#!/usr/bin/env python3
"""Watches the processes whose environment holds one of the given NAME=VALUE entries and, when
ended by SIGTERM, prints each one's peak resident memory (VmHWM, kB) and its command line:

    process_peaks.py NAME=VALUE...  ->  "PID KB COMMAND" lines

Wine double-forks the processes that a Windows program starts, so the reader processes of a run
under Wine are no children of anything that could wait for them: they are found by their
environment (WINEPREFIX is always there). VmHWM is the process's own high-water mark, so reading
it every few milliseconds while the process lives is enough; only a peak reached in its last
milliseconds could be missed. Processes seen once and not matching are not read again."""
import os
import signal
import sys
import time

wanted = [entry.encode() for entry in sys.argv[1:]]
peaks = {}      # pid -> (kB, command)
ignored = set()
done = False


def stop(*_):
    global done
    done = True


signal.signal(signal.SIGTERM, stop)


def high_water_mark(pid):
    with open(f"/proc/{pid}/status", "rb") as status:
        for line in status:
            if line.startswith(b"VmHWM:"):
                return int(line.split()[1])
    return 0


while not done:
    for name in os.listdir("/proc"):
        if not name.isdigit() or name in ignored:
            continue
        try:
            if name not in peaks:
                with open(f"/proc/{name}/environ", "rb") as environ:
                    entries = environ.read().split(b"\0")
                if not any(entry in entries for entry in wanted):
                    ignored.add(name)
                    continue
                peaks[name] = (0, None)
            # Read again each time: a child seen between its fork and its exec holds its parent's
            # pages, and Wine sets the Windows command line after the process starts. A new
            # command line starts the peak afresh (after an exec VmHWM starts again too).
            with open(f"/proc/{name}/cmdline", "rb") as cmdline:
                command = cmdline.read().replace(b"\0", b" ").decode(errors="replace").strip()
            now = high_water_mark(name)
            if not command or not now:  # ending: its memory is gone already
                continue
            kb, seen = peaks[name]
            peaks[name] = (now if command != seen else max(kb, now), command)
        except OSError:  # gone, or not ours to read
            ignored.add(name)
    time.sleep(0.005)

for pid, (kb, command) in peaks.items():
    if command:
        print(pid, kb, command)
