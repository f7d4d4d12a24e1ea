#!/usr/bin/env python3
"""Prints a MIDI file as mido reads it, for the MIDI export's tests: a header line, then
one line a message: absolute tick, type, channel (none for meta messages), values."""

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
for track in midi.tracks:
    tick = 0
    for message in track:
        tick += message.time
        channel = [message.channel] if hasattr(message, "channel") else []
        fields = VALUES.get(message.type)
        shown = [getattr(message, f) for f in fields] if fields is not None else ["unexpected"]
        print(tick, message.type, *channel, *shown)
