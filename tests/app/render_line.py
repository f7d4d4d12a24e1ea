#!/usr/bin/env python3
"""Writes a bass line as a MIDI file with mido and renders it with FluidSynth, for the
transcription's end-to-end tests: what the recording holds is known from how it was made.

usage: render_line.py OUT.wav TEMPO PITCH... (MIDI keys, one quarter note each, played for
nine tenths of the beat; the line starts on its first beat at 0)"""

import subprocess
import sys

import mido

# The font scripts/install-deps installs (fluid-soundfont-gm).
FONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
FINGERED_BASS = 33  # General MIDI's electric bass (finger), counted from 0

out, tempo, pitches = sys.argv[1], int(sys.argv[2]), [int(p) for p in sys.argv[3:]]
midi = mido.MidiFile(ticks_per_beat=480)
track = mido.MidiTrack()
midi.tracks.append(track)
track.append(mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(tempo)))
track.append(mido.Message("program_change", program=FINGERED_BASS, channel=0))
gap = 0
for pitch in pitches:
    track.append(mido.Message("note_on", note=pitch, velocity=100, channel=0, time=gap))
    track.append(mido.Message("note_off", note=pitch, velocity=0, channel=0, time=432))
    gap = 48
# A beat of silence after the last note lets it ring out.
track.append(mido.MetaMessage("end_of_track", time=gap + 480))
mid = out[:-4] + ".mid"
midi.save(mid)
subprocess.run(["fluidsynth", "-ni", "-q", "-R", "0", "-C", "0", "-g", "0.8", "-r", "44100",
                "-F", out, FONT, mid], check=True, stdout=subprocess.DEVNULL)
