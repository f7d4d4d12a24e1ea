#!/usr/bin/env python3
"""Prints a MIDI file as mido reads it, for the MIDI export's tests: a header line, then
one line a message: track, absolute tick, type, channel (or -), values."""

import sys

import mido

VALUES = {
    "note_on": ["note", "velocity"], "note_off": ["note", "velocity"],
    "control_change": ["control", "value"], "program_change": ["program"],
    "pitchwheel": ["pitch"], "set_tempo": ["tempo"], "track_name": ["name"],
    "time_signature": ["numerator", "denominator", "clocks_per_click",
                       "notated_32nd_notes_per_beat"],
    "end_of_track": [],
}

midi = mido.MidiFile(sys.argv[1])
print("header", midi.type, midi.ticks_per_beat, len(midi.tracks))
for number, track in enumerate(midi.tracks):
    tick = 0
    for message in track:
        tick += message.time
        channel = getattr(message, "channel", "-")
        fields = VALUES.get(message.type)
        shown = [getattr(message, f) for f in fields] if fields is not None else ["unexpected"]
        print(number, tick, message.type, channel, *shown)
