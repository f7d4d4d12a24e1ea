#!/usr/bin/python3
"""Counts the holes of digital silence in a recording of live playback: runs of frames that
are exactly zero on both sides, longer than a threshold, between the first sound and the last.
Usage: silent-holes.py RECORDING.wav [MILLISECONDS]   (16-bit PCM WAV, as parec writes it)
Prints "holes N", "hole_longest SECONDS" and "hole_total SECONDS"."""
import sys
import wave

import numpy as np


def holes(samples, rate, shortest):
    silent = np.all(samples == 0, axis=1)
    loud = np.flatnonzero(~silent)
    if loud.size == 0:
        return []
    inside = silent[loud[0]:loud[-1] + 1].astype(np.int8)
    edges = np.diff(np.concatenate(([0], inside, [0])))
    starts, ends = np.flatnonzero(edges == 1), np.flatnonzero(edges == -1)
    lengths = (ends - starts) / rate
    return [float(x) for x in lengths if x >= shortest]


def main():
    path = sys.argv[1]
    shortest = float(sys.argv[2]) / 1000 if len(sys.argv) > 2 else 0.01
    with wave.open(path) as w:
        if w.getsampwidth() != 2:
            sys.exit("silent-holes: 16-bit PCM only")
        rate, channels = w.getframerate(), w.getnchannels()
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, channels)
    found = holes(data, rate, shortest)
    print(f"holes {len(found)}")
    print(f"hole_longest {max(found, default=0):.3f}")
    print(f"hole_total {sum(found):.3f}")


if __name__ == "__main__":
    main()
