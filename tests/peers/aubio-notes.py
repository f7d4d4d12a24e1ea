#!/usr/bin/python3
"""Transcribes a WAV file with aubionotes (aubio-tools) at its defaults and prints the notes as
the transcription JSON the set's scorer reads. aubionotes finds no tempo: it is given as 0.

Usage: aubio-notes.py IN.wav > out.json
"""

import json
import subprocess
import sys


def notes_of(text):
    """aubionotes prints one "pitch onset offset" row a note (seconds, MIDI pitch, fractional);
    rows of one field mark onsets without a pitch and are left out."""
    notes = []
    for row in text.splitlines():
        fields = row.split()
        if len(fields) != 3:
            continue
        pitch, onset, offset = (float(f) for f in fields)
        notes.append(dict(onset=round(onset, 4), offset=round(offset, 4), pitch=int(round(pitch)),
                          confidence=1.0, ticks=0, string=0, fret=0, technique="plain"))
    return notes


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: aubio-notes.py IN.wav")
    done = subprocess.run(["aubionotes", "-i", sys.argv[1]], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"aubio-notes: {done.stderr.strip()}")
    json.dump(dict(tempo=0, notes=notes_of(done.stdout)), sys.stdout)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
