#!/usr/bin/python3
"""The set's truth checked against the rules of the bass and the MIDI read back by mido."""

import io
import unittest
from collections import Counter

import mido

import make_set
from notevalues import TICKS_PER_QUARTER, written_of

OPEN = {4: [43, 38, 33, 28], 5: [43, 38, 33, 28, 23]}  # E A D G and B E A D G, highest first
TRUTHS = [(plan, make_set.truth_of(plan, i)) for i, plan in enumerate(make_set.LINES)]


def read_back(truth, program=33):
    """Note-ons and pitch bends of the line's MIDI, in seconds, as mido plays the file."""
    data = io.BytesIO()
    make_set.midi_of(truth, program, 0).save(file=data)
    data.seek(0)
    now, ons, bends, controls = 0.0, [], [], []
    for message in mido.MidiFile(file=data):
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            ons.append((now, message.note))
        elif message.type == "pitchwheel":
            bends.append((now, message.pitch))
        elif message.type == "control_change":
            controls.append((message.control, message.value))
    return ons, bends, controls


class Truth(unittest.TestCase):
    def test_every_note_lies_on_its_string_and_fret(self):
        for plan, truth in TRUTHS:
            with self.subTest(line=plan["name"]):
                self.assertEqual(truth["tuning"], OPEN[plan["strings"]])
                for n in truth["notes"]:
                    self.assertTrue(1 <= n["string"] <= plan["strings"])
                    self.assertTrue(0 <= n["fret"] <= 24)
                    self.assertEqual(OPEN[plan["strings"]][n["string"] - 1] + n["fret"], n["pitch"])
                    self.assertTrue(23 <= n["pitch"] <= 67)

    def test_times_follow_the_written_values(self):
        for plan, truth in TRUTHS:
            with self.subTest(line=plan["name"]):
                seconds = 60.0 / plan["tempo"] / TICKS_PER_QUARTER
                end = 0.0
                for n in truth["notes"]:
                    self.assertEqual(written_of(n["ticks"]), (n["letter"], n["dotted"], n["triplet"]))
                    self.assertAlmostEqual(n["offset"] - n["onset"], n["ticks"] * seconds, places=5)
                    self.assertGreaterEqual(n["onset"], end - 1e-6)  # one note at a time
                    end = n["offset"]
                bar = plan["beats"] * TICKS_PER_QUARTER * seconds
                self.assertAlmostEqual(truth["length"], plan["bars"] * bar, places=4)

    def test_legato_stays_on_the_string_with_no_gap(self):
        for plan, truth in TRUTHS:
            notes = truth["notes"]
            with self.subTest(line=plan["name"]):
                for before, n in zip(notes, notes[1:]):
                    if n["technique"] in ("hammer", "pull", "slide"):
                        self.assertEqual(before["string"], n["string"])
                        self.assertAlmostEqual(before["offset"], n["onset"], places=5)
                        if n["technique"] == "hammer":
                            self.assertGreater(n["fret"], before["fret"])
                        if n["technique"] == "pull":
                            self.assertLess(n["fret"], before["fret"])
                        self.assertNotEqual(n["fret"], before["fret"])

    def test_the_set_as_a_whole(self):
        full = [t for s, t in TRUTHS if not s["small"]]
        notes = [n for t in full for n in t["notes"]]
        self.assertGreaterEqual(len(full), 32)
        self.assertGreaterEqual(len(notes), 3000)
        heldout = sum(t["split"] == "heldout" for t in full)
        self.assertLessEqual(abs(heldout - len(full) / 4), 1)
        self.assertTrue(all(t["split"] == "tuning" for s, t in TRUTHS if s["small"]))
        pitches = [n["pitch"] for n in notes]
        self.assertEqual((min(pitches), max(pitches)), (23, 67))
        self.assertGreater(sum(28 <= p <= 48 for p in pitches) / len(pitches), 0.8)
        counts = Counter(n["technique"] for n in notes)
        legato = counts["hammer"] + counts["pull"] + counts["slide"]
        self.assertTrue(0.03 <= legato / len(notes) <= 0.06, counts)
        self.assertTrue(all(t["tempo"] == int(t["tempo"]) and 40 <= t["tempo"] <= 140 for t in full))
        funk = [n for s, t in TRUTHS if s["style"] == "funk" for n in t["notes"]]
        self.assertTrue(all(n["technique"] in ("slap", "pop", "hammer", "pull") for n in funk))
        self.assertFalse(any(n["technique"] in ("slap", "pop") for s, t in TRUTHS if s["style"] != "funk"
                             for n in t["notes"]))

    def test_a_second_run_writes_the_same_truth(self):
        for i in (0, 2, 13):
            self.assertEqual(make_set.truth_of(make_set.LINES[i], i), TRUTHS[i][1])


class Midi(unittest.TestCase):
    def test_struck_notes_and_bends_where_the_truth_says(self):
        for plan, truth in TRUTHS:
            with self.subTest(line=plan["name"]):
                ons, bends, controls = read_back(truth)
                self.assertEqual(controls[:4], [(101, 0), (100, 0), (6, 12), (38, 0)])  # bend range 12
                struck = [n for n in truth["notes"] if n["technique"] not in ("hammer", "pull", "slide")]
                self.assertEqual(len(ons), len(struck))
                for (at, pitch), n in zip(ons, struck):
                    self.assertAlmostEqual(at, n["onset"], delta=0.001)
                    self.assertEqual(pitch, n["pitch"])
                base = None
                for n in truth["notes"]:
                    if n["technique"] not in ("hammer", "pull", "slide"):
                        base = n["pitch"]
                        continue
                    # The bend reached within 100 ms of the onset, never before it.
                    reached = [at for at, value in bends if n["onset"] - 0.001 <= at <= n["onset"] + 0.1
                               and abs(value - (n["pitch"] - base) * 8192 / 12) <= 1]
                    self.assertTrue(reached, n)
                    if n["technique"] != "slide":
                        self.assertAlmostEqual(reached[0], n["onset"], delta=0.001)

    def test_presets_present_in_every_font(self):
        for name, path in make_set.FONTS.items():
            with self.subTest(font=name):
                presets = make_set.font_presets(path)
                self.assertTrue({(0, p) for p in range(32, 38)} <= presets)


if __name__ == "__main__":
    unittest.main()
