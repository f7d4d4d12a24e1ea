#!/usr/bin/python3
"""Writes the transcription test set: bass lines of our own as truth JSON and MIDI, rendered by
FluidSynth through the General MIDI bass presets of three sound fonts, clean and degraded by sox.

Usage: make_set.py OUT_DIR [--part small|full] [--jobs N]

Everything is derived from the tables below and a seeded generator of our own, so a rerun
writes the same files; a render's name carries a hash of what it was made from, and only
missing renders are made again.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import struct
import subprocess
import sys
import wave
from pathlib import Path

import mido
import numpy as np

from notevalues import TICKS_PER_QUARTER, ticks_of, written_of

# Bump when the way lines are written or rendered changes, so every file is made again.
VERSION = 3

FONTS = {
    "fluid": "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "timgm": "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "musescore": "/usr/share/sounds/sf3/MuseScore_General.sf3",
}
FONT_ORDER = ["fluid", "timgm", "musescore"]

# General MIDI programs, counted from 0 (33 to 38 counted from 1).
ACOUSTIC, FINGER, PICK, FRETLESS, SLAP1, SLAP2 = 32, 33, 34, 35, 36, 37

TUNINGS = {4: [43, 38, 33, 28], 5: [43, 38, 33, 28, 23]}  # highest string first
LOWEST, HIGHEST = 23, 67
MAX_FRET = 24
SAMPLE_RATE = 44100
LEGATO = ("hammer", "pull", "slide")
BEND_RANGE = 12  # semitones, set by RPN 0 before the notes
NOISY_VARIANTS = ["white", "reverb", "low", "pink", "hot"]

NAMES = {"C": 0, "C#": 1, "Db": 1, "D": 2, "Eb": 3, "E": 4, "F": 5, "F#": 6, "Gb": 6, "G": 7,
         "Ab": 8, "A": 9, "Bb": 10, "B": 11}

QUALITY = {  # third, fifth, seventh
    "maj": (4, 7, 11), "min": (3, 7, 10), "dom": (4, 7, 10), "hdim": (3, 6, 10),
}

PROGRESSIONS = {
    "blues": [(0, "dom"), (5, "dom"), (0, "dom"), (0, "dom"), (5, "dom"), (5, "dom"), (0, "dom"),
              (0, "dom"), (7, "dom"), (5, "dom"), (0, "dom"), (7, "dom")],
    "two-five": [(2, "min"), (7, "dom"), (0, "maj"), (0, "maj"), (9, "min"), (2, "min"), (7, "dom"),
                 (0, "maj")],
    "rhythm": [(0, "maj"), (9, "min"), (2, "min"), (7, "dom")],
    "pop": [(0, "maj"), (7, "maj"), (9, "min"), (5, "maj")],
    "minor": [(0, "min"), (5, "min"), (10, "maj"), (3, "maj"), (8, "maj"), (2, "hdim"), (7, "dom"),
              (0, "min")],
    "mixo": [(0, "dom"), (10, "maj"), (5, "maj"), (0, "dom")],
    "vamp": [(0, "min"), (0, "min"), (5, "dom"), (0, "min")],
    "descent": [(0, "min"), (10, "maj"), (8, "maj"), (7, "dom")],
    "two-chord": [(0, "maj"), (5, "maj")],
}

# Bars of each style as tokens. A degree, then ':' and its value (w h q e s, '.' dotted,
# 't' triplet); 'r' is a rest. A leading '/' slides into the note, 'h' hammers it on and 'p'
# pulls it off from the note before. Degrees: R root, 3 5 7 of the chord, 2 4 6, O octave,
# L fifth below, b root less a tone, a approach to the next bar's root, T5 O3 O5 over the octave.
BALLAD = {
    4: ["R:w", "R:h 5:h", "R:h. 5:q", "R:q. 5:e 3:h", "R:q 5:q O:h", "R:h 5:q. 3:e",
        "R:q:t 3:q:t 5:q:t O:h", "R:h /5:h", "R:h. r:q", "R:h 3:q a:q"],
    3: ["R:h.", "R:h 5:q", "R:q. 5:e 3:q", "R:q 5:q O:q", "R:h a:q"],
}
BALLAD_HIGH = {4: ["O:q O3:q O5:h", "OO:h O5:q O3:q", "O5:q. O3:e O:h"]}
REGGAE = ["r:q R:e R:e r:e 5:e O:q", "r:q. R:e R:q 5:e 3:e", "R:q. r:e R:e 5:e 7:q",
          "r:e R:e R:e r:e 5:q. r:e"]
LATIN = ["r:q r:e 5:q r:e O:q", "r:q r:e 5:q. R:q", "R:q. 5:e 5:q. R:e", "R:q. 5:e r:q 3:q"]
TRIPLET = {
    4: ["R:e:t 3:e:t 5:e:t O:e:t 5:e:t 3:e:t R:q 5:q",
        "R:e:t 5:e:t O:e:t R:e:t 5:e:t O:e:t R:e:t 5:e:t O:e:t 7:e:t 5:e:t 3:e:t",
        "R:q 5:e:t O:e:t 5:e:t R:h",
        "R:e:t R:e:t 5:e:t 7:e:t O:e:t 7:e:t 5:q 3:q",
        "R:e:t r:e:t 5:e:t O:q R:e:t r:e:t 5:e:t a:q"],
    3: ["R:e:t 5:e:t O:e:t 5:q 3:q", "R:q 3:e:t 5:e:t O:e:t 5:q", "R:e:t 3:e:t 5:e:t O:e:t 5:e:t 3:e:t a:q"],
}
# One token an eighth: a degree, '-' holds the note before one eighth more, '.' rests one.
ROCK = {
    4: ["R R R R R R R R", "R R O R R R O R", "R R R R 5 5 7 O", "R - R R R - O -", "R R . R R R O .",
        "R R R /O R R 5 a", "R R 5 R O R 5 R"],
    3: ["R R R R O R", "R - R R 5 a", "R R O R 5 R"],
}
# One token a sixteenth: T slaps the root, L the fifth below, P pops the octave, Q the seventh
# over it, h hammers on a tone up, p pulls off a tone down, '-' holds, '.' rests.
FUNK = ["T.PT.TP.T.PTh.P.", "T-.TP.T.TLT.P.P.", "T..TP..TT.P.ThP.", "T-P.T.PTT.P.L-T.",
        "T.TP.TP.T.TP.TQp"]


class Dice:
    """A small generator of our own, so the set never changes with Python's."""

    def __init__(self, seed):
        self.state = (seed * 2654435761 + 12345) & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state >> 8

    def pick(self, items):
        return items[self.next() % len(items)]

    def chance(self, share):
        return self.next() % 10000 < share * 10000


def line(name, style, tempo, key, form, bars, *, strings=4, beats=4, low=28, programs=None,
         high=False, small=False):
    return dict(name=name, style=style, tempo=tempo, key=key, form=form, bars=bars, strings=strings,
                beats=beats, low=low, programs=programs, high=high, small=small)


# Every fourth line (index 3, 7, 11, ...) is held out; the order mixes the styles so that each
# style has lines on both sides.
LINES = [
    line("walk-f-blues", "walking", 120, "F", "blues", 16, programs=[ACOUSTIC, FINGER]),
    line("rock-e-eighths", "rock", 130, "E", "mixo", 20, programs=[PICK, FINGER]),
    line("funk-e-slap", "funk", 100, "E", "vamp", 20, programs=[SLAP1, SLAP2]),
    line("ballad-c-halves", "ballad", 60, "C", "pop", 8, programs=[FRETLESS, FINGER]),
    line("reggae-a-onedrop", "reggae", 76, "A", "vamp", 12, programs=[FINGER, ACOUSTIC]),
    line("triplet-e-shuffle", "triplet", 72, "E", "blues", 12, programs=[FINGER, PICK]),
    line("five-b-rock", "rock", 120, "B", "mixo", 20, strings=5, low=23, programs=[PICK, FINGER]),
    line("walk-bb-blues", "walking", 96, "Bb", "blues", 16, programs=[FINGER, ACOUSTIC]),
    line("rock-a-octaves", "rock", 116, "A", "pop", 20, programs=[FINGER, PICK]),
    line("funk-a-pops", "funk", 92, "A", "vamp", 20, programs=[SLAP2, SLAP1]),
    line("ballad-f-slow", "ballad", 48, "F", "two-chord", 6, programs=[ACOUSTIC, FRETLESS]),
    line("latin-g-tumbao", "latin", 112, "G", "rhythm", 16, programs=[ACOUSTIC, FINGER]),
    line("triplet-a-arpeggio", "triplet", 88, "A", "minor", 12, programs=[PICK, FINGER]),
    line("five-d-funk", "funk", 96, "D", "vamp", 20, strings=5, low=23, programs=[SLAP1, SLAP2]),
    line("walk-c-twofive", "walking", 132, "C", "two-five", 16, programs=[ACOUSTIC, FINGER]),
    line("rock-d-drive", "rock", 100, "D", "descent", 20, programs=[PICK, FINGER]),
    line("funk-g-sixteenths", "funk", 104, "G", "mixo", 20, programs=[SLAP1, SLAP2]),
    line("ballad-d-largo", "ballad", 40, "D", "two-chord", 5, programs=[FRETLESS, ACOUSTIC]),
    line("reggae-d-steppers", "reggae", 70, "D", "descent", 12, programs=[ACOUSTIC, FINGER]),
    line("triplet-d-waltz", "triplet", 100, "D", "minor", 16, beats=3, programs=[FINGER, ACOUSTIC]),
    line("five-c-ballad", "ballad", 56, "C", "pop", 8, strings=5, low=24, programs=[FINGER, FRETLESS]),
    line("walk-g-rhythm", "walking", 108, "G", "rhythm", 16, programs=[FINGER, ACOUSTIC]),
    line("rock-c-steady", "rock", 76, "C", "pop", 16, programs=[FINGER, PICK]),
    line("funk-fs-groove", "funk", 88, "F#", "descent", 20, programs=[SLAP2, SLAP1]),
    line("ballad-g-waltz", "ballad", 66, "G", "rhythm", 12, beats=3, programs=[ACOUSTIC, FRETLESS]),
    line("latin-e-bossa", "latin", 124, "E", "two-five", 16, programs=[FINGER, ACOUSTIC]),
    line("triplet-c-slow", "triplet", 60, "C", "pop", 10, programs=[FINGER, PICK]),
    line("five-e-walk", "walking", 104, "E", "blues", 16, strings=5, low=23, programs=[FINGER, ACOUSTIC]),
    line("ballad-g-high", "ballad", 72, "G", "pop", 12, low=36, high=True, programs=[FINGER, FRETLESS]),
    line("walk-d-minor", "walking", 84, "D", "minor", 16, programs=[ACOUSTIC, FINGER]),
    line("rock-g-waltz", "rock", 140, "G", "pop", 20, beats=3, programs=[PICK, FINGER]),
    line("five-a-minor", "rock", 84, "A", "minor", 20, strings=5, low=23, programs=[FINGER, PICK]),
    line("funk-d-fast", "funk", 110, "D", "mixo", 20, programs=[SLAP1, SLAP2]),
    line("five-b-ballad", "ballad", 64, "B", "descent", 8, strings=5, low=23, programs=[FRETLESS, FINGER]),
    # The small part, for the quick test: short lines of the tuning side.
    line("small-walk", "walking", 132, "G", "rhythm", 4, programs=[FINGER, ACOUSTIC], small=True),
    line("small-rock", "rock", 130, "A", "mixo", 4, programs=[PICK, FINGER], small=True),
    line("small-funk", "funk", 104, "E", "vamp", 4, programs=[SLAP1, SLAP2], small=True),
    line("small-triplet", "triplet", 100, "D", "rhythm", 4, strings=5, low=23, programs=[FINGER, PICK],
         small=True),
]


def split_of(index, plan):
    if plan["small"]:
        return "tuning"
    return "heldout" if index % 4 == 3 else "tuning"


# --- the notes ------------------------------------------------------------------------------

def fit(pitch, lowest):
    while pitch < lowest:
        pitch += 12
    while pitch > HIGHEST:
        pitch -= 12
    return pitch


def degree_pitch(degree, root, quality, next_root, previous, dice):
    third, fifth, seventh = QUALITY[quality]
    table = {"R": 0, "3": third, "5": fifth, "7": seventh, "2": 2, "4": 5, "6": 9, "O": 12,
             "L": fifth - 12, "b": -2, "O3": 12 + third, "O5": 12 + fifth, "OO": 24, "T5": 12 + fifth}
    if degree == "a":
        # A chromatic or fifth-above approach to the next bar's root, on the side nearer the
        # note before.
        options = [next_root - 1, next_root + 1, next_root + 7, next_root - 5]
        return min(options, key=lambda p: (abs(p - previous), dice.next() % 3))
    return root + table[degree]


def parse_value(text):
    parts = text.split(":")
    letter = parts[0].rstrip(".")
    return ticks_of(letter, parts[0].endswith("."), len(parts) > 1 and parts[1] == "t")


def roots_of(plan):
    key = NAMES[plan["key"]]
    lowest = TUNINGS[plan["strings"]][-1]
    chords = PROGRESSIONS[plan["form"]]
    out = []
    for bar in range(plan["bars"]):
        offset, quality = chords[bar % len(chords)]
        root = plan["low"] + (key + offset - plan["low"]) % 12
        out.append((fit(root, lowest), quality))
    return out


def bars_of_tokens(plan, dice, choose):
    """Notes from bars written as degree:value tokens; `choose(bar)` gives the bar's tokens."""
    lowest = TUNINGS[plan["strings"]][-1]
    roots = roots_of(plan)
    events, previous = [], roots[0][0]
    for bar, (root, quality) in enumerate(roots):
        next_root = roots[(bar + 1) % len(roots)][0]
        for token in choose(bar).split():
            technique = "plain"
            if token[0] in "/hp" and len(token) > 1 and token[1] != ":":
                technique = {"/": "slide", "h": "hammer", "p": "pull"}[token[0]]
                token = token[1:]
            degree, value = token.split(":", 1)
            ticks = parse_value(value)
            if degree == "r":
                events.append((None, ticks, "rest"))
                continue
            pitch = fit(degree_pitch(degree, root, quality, next_root, previous, dice), lowest)
            events.append((pitch, ticks, technique))
            previous = pitch
    return events


def eighths_of(plan, dice, patterns, step):
    """Notes from bars of one token a step: a degree, '-' holds, '.' rests."""
    lowest = TUNINGS[plan["strings"]][-1]
    roots = roots_of(plan)
    events, previous = [], roots[0][0]
    for bar, (root, quality) in enumerate(roots):
        next_root = roots[(bar + 1) % len(roots)][0]
        tokens = patterns(bar)
        for token in tokens:
            if token == "-":
                pitch, ticks, technique = events[-1]
                events[-1] = (pitch, ticks + step, technique)
                continue
            if token == ".":
                events.append((None, step, "rest"))
                continue
            technique = "plain"
            if token.startswith("/"):
                technique, token = "slide", token[1:]
            pitch = fit(degree_pitch(token, root, quality, next_root, previous, dice), lowest)
            events.append((pitch, step, technique))
            previous = pitch
    return events


def walking(plan, dice):
    lowest = TUNINGS[plan["strings"]][-1]
    roots = roots_of(plan)
    events = []
    quarter = TICKS_PER_QUARTER
    for bar, (root, quality) in enumerate(roots):
        next_root = roots[(bar + 1) % len(roots)][0]
        third, fifth, seventh = QUALITY[quality]
        middle = [dice.pick([third, fifth, 12]), dice.pick([fifth, 9, third, seventh])]
        if plan["beats"] == 3:
            middle = middle[:1]
        tones = [root] + [root + m for m in middle]
        approach = dice.pick([next_root - 1, next_root + 1, next_root - 5])
        tones.append(approach)
        # Now and then a beat in two eighths, the second an octave up or a passing tone.
        split = dice.next() % len(tones) if dice.chance(0.3) else -1
        for beat, tone in enumerate(tones):
            pitch = fit(tone, lowest)
            if plan["strings"] == 5 and beat == 0 and dice.chance(0.3):
                pitch = fit(pitch - 12, lowest)
            if beat == split:
                second = fit(pitch + dice.pick([12, 2, -1]), lowest)
                events += [(pitch, quarter // 2, "plain"), (second, quarter // 2, "plain")]
            else:
                events.append((pitch, quarter, "plain"))
    return events


def funk(plan, dice):
    lowest = TUNINGS[plan["strings"]][-1]
    roots = roots_of(plan)
    events = []
    sixteenth = TICKS_PER_QUARTER // 4
    for bar, (root, quality) in enumerate(roots):
        _, fifth, seventh = QUALITY[quality]
        pattern = FUNK[(bar + dice.next() % 2) % len(FUNK)]
        for token in pattern:
            if token == "-":
                pitch, ticks, technique = events[-1]
                events[-1] = (pitch, ticks + sixteenth, technique)
            elif token == ".":
                events.append((None, sixteenth, "rest"))
            elif token in "hp":
                before = events[-1][0]
                events.append((before + (2 if token == "h" else -2), sixteenth,
                               "hammer" if token == "h" else "pull"))
            else:
                offset = {"T": 0, "L": fifth - 12, "P": 12, "Q": 12 + seventh}[token]
                pitch = root + offset
                if token == "L" and pitch < lowest:
                    pitch += 12
                events.append((fit(pitch, lowest), sixteenth, "pop" if token in "PQ" else "slap"))
    return events


def generate_events(plan, index):
    dice = Dice(1000 + index)
    beats = plan["beats"]
    style = plan["style"]
    if style == "walking":
        return walking(plan, dice)
    if style == "funk":
        return funk(plan, dice)
    if style == "rock":
        return eighths_of(plan, dice, lambda bar: dice.pick(ROCK[beats]).split(), TICKS_PER_QUARTER // 2)
    if style == "ballad":
        def choose(bar):
            if plan["high"] and bar % 4 == 0 and bar > 0:
                return dice.pick(BALLAD_HIGH[beats])
            return dice.pick(BALLAD[beats])
        return bars_of_tokens(plan, dice, choose)
    table = {"reggae": REGGAE, "latin": LATIN, "triplet": TRIPLET.get(beats)}[style]
    return bars_of_tokens(plan, dice, lambda bar: dice.pick(table))


def add_legato(events, dice, share=0.06):
    """Turns a few steps between sounding notes into hammer-ons, pull-offs and slides: no new
    attack, so the note before must run into this one and both lie on one string."""
    out = list(events)
    base = None  # the pitch struck last, which every bend is counted from
    for i in range(1, len(out)):
        pitch, ticks, technique = out[i]
        before = out[i - 1]
        if before[2] not in LEGATO:
            base = before[0]
        if technique != "plain" or pitch is None or before[0] is None:
            continue
        step = pitch - before[0]
        if step == 0 or abs(step) > 7 or abs(pitch - base) > BEND_RANGE or not dice.chance(share):
            continue
        if abs(step) <= 3 and dice.chance(0.7):
            out[i] = (pitch, ticks, "hammer" if step > 0 else "pull")
        elif abs(step) >= 2:
            out[i] = (pitch, ticks, "slide")
    return out


# --- where a bassist plays it ---------------------------------------------------------------

def chains_of(notes):
    """Runs of notes joined by legato, which one string must hold whole."""
    chains = []
    for i, note in enumerate(notes):
        if note["technique"] in LEGATO and chains:
            chains[-1].append(i)
        else:
            chains.append([i])
    return chains


def fingering(notes, tuning):
    """Strings (1 = highest) and frets by the cheapest path: the hand stays within four frets where
    it can, open strings are free, high positions cost a little, pops lie on the two highest
    strings and slaps off the highest; a legato run stays on one string."""
    chains = chains_of(notes)
    options = []
    for chain in chains:
        pitches = [notes[i]["pitch"] for i in chain]
        strings = [s for s, open_pitch in enumerate(tuning, 1)
                   if all(0 <= p - open_pitch <= MAX_FRET for p in pitches)]
        if not strings:
            raise ValueError(f"no string holds the run {pitches}")
        options.append(strings)

    def chain_cost(chain, string):
        cost = 0.0
        for i in chain:
            fret = notes[i]["pitch"] - tuning[string - 1]
            cost += 0.1 * fret + (fret - 12 if fret > 12 else 0)
            technique = notes[i]["technique"]
            if technique == "pop" and string > 2:
                cost += 3
            if technique == "slap" and string == 1 and len(tuning) > 1:
                cost += 2
        return cost

    def position(chain, string):
        frets = [notes[i]["pitch"] - tuning[string - 1] for i in chain]
        fretted = [f for f in frets if f > 0]
        return (min(fretted), max(fretted)) if fretted else None

    best = [{s: (chain_cost(chains[0], s), [s]) for s in options[0]}]
    for k in range(1, len(chains)):
        layer = {}
        for s in options[k]:
            here = position(chains[k], s)
            candidates = []
            for t, (cost, path) in best[-1].items():
                there = position(chains[k - 1], t)
                move = 0.0
                if here and there:
                    span = max(here[1], there[1]) - min(here[0], there[0])
                    move = 0.7 * max(0, span - 3) + 0.3 * abs(here[0] - there[0]) / 4
                move += 0.15 * abs(s - t)
                candidates.append((cost + move, path))
            cost, path = min(candidates, key=lambda c: c[0])
            layer[s] = (cost + chain_cost(chains[k], s), path + [s])
        best.append(layer)
    _, path = min(best[-1].values(), key=lambda c: c[0])
    for chain, string in zip(chains, path):
        for i in chain:
            notes[i]["string"] = string
            notes[i]["fret"] = notes[i]["pitch"] - tuning[string - 1]


# --- the truth --------------------------------------------------------------------------------

def truth_of(plan, index):
    events = generate_events(plan, index)
    if plan["style"] != "funk":
        events = add_legato(events, Dice(7000 + index))
    tuning = TUNINGS[plan["strings"]]
    seconds_per_tick = 60.0 / plan["tempo"] / TICKS_PER_QUARTER
    notes, tick = [], 0
    for pitch, ticks, technique in events:
        if pitch is not None:
            letter, dotted, triplet = written_of(ticks)
            notes.append(dict(onset=round(tick * seconds_per_tick, 6),
                              offset=round((tick + ticks) * seconds_per_tick, 6), pitch=pitch,
                              tick=tick, ticks=ticks, letter=letter, dotted=dotted, triplet=triplet,
                              string=0, fret=0, technique=technique))
        tick += ticks
    fingering(notes, tuning)
    bar_ticks = plan["beats"] * TICKS_PER_QUARTER
    if tick != plan["bars"] * bar_ticks:
        raise ValueError(f"{plan['name']}: bars add up to {tick} ticks, not {plan['bars'] * bar_ticks}")
    return dict(name=plan["name"], style=plan["style"], tempo=plan["tempo"], beats_per_bar=plan["beats"],
                strings=plan["strings"], tuning=tuning, split=split_of(index, plan), small=plan["small"],
                length=round(tick * seconds_per_tick, 6), notes=notes)


# --- MIDI -------------------------------------------------------------------------------------

def bend_value(semitones):
    return max(-8192, min(8191, round(semitones * 8192 / BEND_RANGE)))


def midi_of(truth, program, index):
    """One track on channel 0: bend range set to 12 semitones by RPN 0, then the notes; legato
    notes move the sounding note by pitch bend instead of striking again."""
    dice = Dice(500 + index)
    tempo_us = mido.bpm2tempo(truth["tempo"])
    timed = []  # (tick, order, message)
    setup = [mido.MetaMessage("set_tempo", tempo=tempo_us),
             mido.MetaMessage("time_signature", numerator=truth["beats_per_bar"], denominator=4),
             mido.Message("control_change", control=101, value=0),
             mido.Message("control_change", control=100, value=0),
             mido.Message("control_change", control=6, value=BEND_RANGE),
             mido.Message("control_change", control=38, value=0),
             mido.Message("control_change", control=101, value=127),
             mido.Message("control_change", control=100, value=127),
             mido.Message("program_change", program=program),
             mido.Message("pitchwheel", pitch=0)]
    ticks_per_second = truth["tempo"] / 60.0 * TICKS_PER_QUARTER
    base, end, bent = None, 0, 0
    for note in truth["notes"]:
        tick, length = note["tick"], note["ticks"]
        if note["technique"] in LEGATO:
            old = bent
            new = note["pitch"] - base
            if abs(new) > BEND_RANGE:
                raise ValueError(f"{truth['name']}: a legato step beyond the bend range")
            if note["technique"] == "slide":
                ramp = min(round(0.08 * ticks_per_second), length // 2)
                steps = 8
                for k in range(1, steps + 1):
                    timed.append((tick + ramp * k // steps, 1,
                                  mido.Message("pitchwheel", pitch=bend_value(old + (new - old) * k / steps))))
            else:
                timed.append((tick, 1, mido.Message("pitchwheel", pitch=bend_value(new))))
            bent = new
            end = tick + length
            continue
        if base is not None:
            timed.append((end, 0, mido.Message("note_off", note=base, velocity=64)))
        if bent:
            timed.append((tick, 1, mido.Message("pitchwheel", pitch=0)))
            bent = 0
        velocity = {"slap": 112, "pop": 118}.get(note["technique"], 92) + dice.next() % 10
        timed.append((tick, 2, mido.Message("note_on", note=note["pitch"], velocity=velocity)))
        base, end = note["pitch"], tick + length
    if base is not None:
        timed.append((end, 0, mido.Message("note_off", note=base, velocity=64)))
    # Half a second more so the last note's release is rendered.
    timed.append((end + round(0.5 * ticks_per_second), 3, mido.Message("control_change", control=64, value=0)))
    timed.sort(key=lambda t: (t[0], t[1]))
    track = mido.MidiTrack(setup)
    now = 0
    for tick, _, message in timed:
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=0))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_QUARTER)
    song.tracks.append(track)
    return song


# --- rendering --------------------------------------------------------------------------------

def font_presets(path):
    """(bank, program) of every preset in a SoundFont 2 or 3 file, from its preset headers."""
    data = Path(path).read_bytes()
    at = data.rfind(b"pdta") - 8
    if at < 0 or data[at:at + 4] != b"LIST":
        raise ValueError(f"{path}: no preset list")
    end = at + 8 + struct.unpack_from("<I", data, at + 4)[0]
    at += 12
    while at + 8 <= end:
        size = struct.unpack_from("<I", data, at + 4)[0]
        if data[at:at + 4] == b"phdr":
            count = size // 38 - 1  # the last record closes the list
            return {struct.unpack_from("<HH", data, at + 8 + i * 38 + 20)[::-1] for i in range(count)}
        at += 8 + size
    raise ValueError(f"{path}: no preset headers")


def renders_of(plan, index):
    """The clean render and one degraded render, each through its own font and preset."""
    clean_font = FONT_ORDER[index % 3]
    noisy_font = FONT_ORDER[(index + 1) % 3]
    variant = NOISY_VARIANTS[index % len(NOISY_VARIANTS)]
    programs = plan["programs"]
    renders = [dict(kind="clean", variant="clean", font=clean_font, program=programs[0]),
               dict(kind="noisy", variant=variant, font=noisy_font, program=programs[1 % len(programs)])]
    # A room's reverberation is heard through every font: what it does to the attacks depends
    # on how each font's notes start and fade.
    if variant == "reverb":
        renders += [dict(kind="noisy", variant=variant, font=font, program=programs[1 % len(programs)])
                    for font in FONT_ORDER if font != noisy_font]
    return renders


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, command))}: {done.stderr.strip()}")
    return done.stdout + done.stderr


def rms_of(path):
    out = run(["sox", str(path), "-n", "stat"])
    for row in out.splitlines():
        if row.startswith("RMS     amplitude"):
            return float(row.split(":")[1])
    raise RuntimeError(f"no RMS for {path}")


SOX = ["sox", "-R", "-D", "-V1"]


def render(midi_path, render_spec, out_path, work, seconds, latency):
    raw = work / (out_path.stem + ".raw.wav")
    clean = work / (out_path.stem + ".clean.wav")
    run(["fluidsynth", "-ni", "-q", "-o", "synth.reverb.active=0", "-o", "synth.chorus.active=0",
         "-g", "0.6", "-r", str(SAMPLE_RATE), "-F", str(raw), FONTS[render_spec["font"]], str(midi_path)])
    run(SOX + [str(raw), "-b", "16", "-c", "1", str(clean), "remix", "-", "trim", f"{latency:.4f}", f"{seconds:.3f}", "norm", "-3"])
    variant = render_spec["variant"]
    tmp = work / (out_path.stem + ".tmp.wav")
    if variant == "clean":
        os.replace(clean, tmp)
    elif variant in ("white", "pink"):
        noise = work / (out_path.stem + ".noise.wav")
        run(SOX + ["-n", "-r", str(SAMPLE_RATE), "-c", "1", "-b", "16", str(noise), "synth", f"{seconds:.6f}",
                   variant + "noise", "vol", "0.5"])
        # Noise 20 dB under the line's own level.
        scale = rms_of(clean) / (rms_of(noise) * 10.0)
        run(SOX + ["-m", "-v", "1", str(clean), "-v", f"{scale:.6f}", str(noise), str(tmp), "norm", "-3"])
        noise.unlink()
    elif variant == "reverb":
        run(SOX + [str(clean), str(tmp), "reverb", "60", "50", "100", "norm", "-3"])
    elif variant == "low":
        run(SOX + [str(clean), str(tmp), "gain", "-24"])
    elif variant == "hot":
        run(SOX + [str(clean), str(tmp), "gain", "6"])
    else:
        raise ValueError(variant)
    clean.unlink(missing_ok=True)
    raw.unlink(missing_ok=True)
    os.replace(tmp, out_path)


def attack_latencies(font, work):
    """Seconds from a note-on to its sound reaching a tenth of its peak, per bass preset of the
    font, the median over the bass range: some presets' samples start late by up to some 30 ms,
    which the renders trim away so that the sound starts where the truth says. One render of
    the font probes them all, a note a second."""
    pitches = (28, 35, 40, 47, 55)
    programs = range(ACOUSTIC, SLAP2 + 1)
    track = mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=500000)])  # 960 ticks a second
    slots = []
    for program in programs:
        for pitch in pitches:
            track += [mido.Message("program_change", program=program, time=0 if not slots else 240),
                      mido.Message("note_on", note=pitch, velocity=100, time=240),
                      mido.Message("note_off", note=pitch, velocity=64, time=480)]
            slots.append(program)
    track.append(mido.Message("control_change", control=64, value=0, time=480))
    probe = mido.MidiFile(type=0, ticks_per_beat=480)
    probe.tracks.append(track)
    stem = work / f"probe-{font}"
    probe.save(f"{stem}.mid")
    run(["fluidsynth", "-ni", "-q", "-o", "synth.reverb.active=0", "-o", "synth.chorus.active=0",
         "-r", str(SAMPLE_RATE), "-F", f"{stem}.wav", FONTS[font], f"{stem}.mid"])
    with wave.open(f"{stem}.wav") as w:
        frames = np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).reshape(-1, w.getnchannels())
    level = np.abs(frames.astype(float).mean(axis=1))
    delays = {p: [] for p in programs}
    for k, program in enumerate(slots):
        onset = 0.25 + k  # a slot a second, its note a quarter second in
        window = level[int((onset - 0.05) * SAMPLE_RATE):int((onset + 0.5) * SAMPLE_RATE)]
        delays[program].append(int(np.argmax(window > 0.1 * window.max())) / SAMPLE_RATE - 0.05)
    Path(f"{stem}.mid").unlink()
    Path(f"{stem}.wav").unlink()
    return {f"{font}-{p}": round(float(np.median(d)), 4) for p, d in delays.items()}


def note_name(pitch):
    return ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"][pitch % 12] + str(pitch // 12 - 1)


def digest(*parts):
    text = json.dumps(parts, sort_keys=True)
    return hashlib.sha1(text.encode()).hexdigest()[:10]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--part", choices=["small", "full"], default="full")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    out = Path(args.out)
    (out / "audio").mkdir(parents=True, exist_ok=True)
    (out / "truth").mkdir(exist_ok=True)
    work = out / "work"
    work.mkdir(exist_ok=True)

    for name, path in FONTS.items():
        present = font_presets(path)
        missing = [p for p in range(ACOUSTIC, SLAP2 + 1) if (0, p) not in present]
        if missing:
            sys.exit(f"make_set: {path} lacks the bass presets {missing}")

    chosen = [(i, s) for i, s in enumerate(LINES) if s["small"] == (args.part == "small")]
    latencies = {}
    latency_file = work / f"latency-{VERSION}.json"
    if latency_file.exists():
        latencies = json.loads(latency_file.read_text())
    manifest = dict(part=args.part, lines=[], renders=[])
    jobs = []
    for index, plan in chosen:
        truth = truth_of(plan, index)
        stamp = digest(VERSION, truth)
        (out / "truth" / f"{plan['name']}.json").write_text(json.dumps(truth, indent=1) + "\n")
        midi_path = out / "truth" / f"{plan['name']}-{stamp}.mid"
        if not midi_path.exists():
            midi_of(truth, plan["programs"][0], index).save(midi_path)
        manifest["lines"].append(dict(name=plan["name"], truth=f"truth/{plan['name']}.json",
                                      split=truth["split"], notes=len(truth["notes"]), length=truth["length"]))
        for r in renders_of(plan, index):
            key = f"{r['font']}-{r['program']}"
            if key not in latencies:
                latencies.update(attack_latencies(r["font"], work))
                latency_file.write_text(json.dumps(latencies, indent=1) + "\n")
            r["latency"] = latencies[key]
            name = f"{plan['name']}-{r['kind']}-{digest(stamp, r)}"
            wav = out / "audio" / f"{name}.wav"
            group = "clean" if r["kind"] == "clean" else "noisy"
            manifest["renders"].append(dict(name=name, line=plan["name"], audio=f"audio/{name}.wav",
                                            split=truth["split"], group=group, tempo=truth["tempo"],
                                            strings=truth["strings"],
                                            tuning=" ".join(note_name(p) for p in reversed(truth["tuning"])), **r))
            midi_render = work / f"{name}.mid"
            if not wav.exists():
                midi_of(truth, r["program"], index).save(midi_render)
                jobs.append((midi_render, r, wav, truth["length"] + 1.0, r["latency"]))
    wanted = {r["audio"] for r in manifest["renders"]}
    prefixes = tuple(plan["name"] + "-" for _, plan in chosen)
    for stale in (out / "audio").glob("*.wav"):
        if stale.name.startswith(prefixes) and f"audio/{stale.name}" not in wanted:
            stale.unlink()
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        for done in pool.map(lambda j: render(j[0], j[1], j[2], work, j[3], j[4]), jobs):
            del done
    for midi_render, *_ in jobs:
        midi_render.unlink(missing_ok=True)
    for r in manifest["renders"]:
        r["seconds"] = float(run(["soxi", "-D", str(out / r["audio"])]).strip())
    (out / f"set-{args.part}.json").write_text(json.dumps(manifest, indent=1) + "\n")
    notes = sum(l["notes"] for l in manifest["lines"])
    minutes = sum(r["seconds"] for r in manifest["renders"]) / 60
    print(f"make_set: {len(manifest['lines'])} lines, {notes} notes, {len(manifest['renders'])} renders "
          f"({len(jobs)} made now), {minutes:.1f} minutes of audio")


if __name__ == "__main__":
    main()
