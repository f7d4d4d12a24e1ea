#!/usr/bin/python3
"""The scorer against hand-made truths whose right answers follow from the scoring rules."""

import unittest

from score import Tally, goals_met, match, tempo_right

QUARTER = 3840
TEMPO = 120  # half a second a quarter


def note(onset, pitch, ticks=QUARTER, string=3, fret=0, technique="plain", triplet=False):
    return dict(onset=onset, offset=onset + ticks / QUARTER * 60 / TEMPO, pitch=pitch, ticks=ticks,
                string=string, fret=fret, technique=technique, triplet=triplet)


# A bar from a quarter of a second in: a quarter, a hammer-on, a dotted quarter, an eighth and
# three triplet eighths.
LINE = [note(0.25, 33), note(0.75, 35, string=3, fret=2, technique="hammer"),
        note(1.25, 40, ticks=5760, string=2, fret=2), note(2.0, 28, ticks=1920, string=4),
        note(2.25, 45, ticks=1280, string=1, fret=2, technique="pop"), note(2.4167, 43, ticks=1280, string=1),
        note(2.5833, 38, ticks=1280, string=2)]


def figures(found, truth=LINE, tempo=TEMPO):
    tally = Tally()
    tally.add(dict(tempo=TEMPO, notes=truth), dict(tempo=tempo, notes=found), dict(tempo=TEMPO, notes=found))
    return tally.figures()


class Notes(unittest.TestCase):
    def test_truth_against_itself_is_perfect(self):
        f = figures([dict(n) for n in LINE])
        for key in ("precision", "recall", "f", "f_tempo_given", "durations", "string_fret", "techniques", "tempo"):
            self.assertEqual(f[key], 1.0, key)
        self.assertEqual(f["per_technique"]["hammer"], {"truth": 1, "found": 1, "false": 0})

    def test_onsets_right_within_fifty_ms(self):
        rows = [(0.04, True), (-0.04, True), (0.049, True), (0.06, False), (-0.06, False), (0.2, False)]
        for shift, right in rows:
            with self.subTest(shift=shift):
                found = [dict(n, onset=n["onset"] + shift, offset=n["offset"] + shift) for n in LINE]
                pairs, (p, r, f) = match(LINE, found)
                self.assertEqual(len(pairs), len(LINE) if right else 0)
                self.assertEqual(f, 1.0 if right else 0.0)

    def test_pitch_must_be_the_same_semitone(self):
        rows = [(12, False), (-12, False), (1, False), (0, True)]
        for moved, right in rows:
            with self.subTest(moved=moved):
                found = [dict(LINE[0], pitch=LINE[0]["pitch"] + moved)]
                pairs, _ = match(LINE[:1], found)
                self.assertEqual(bool(pairs), right)

    def test_matching_is_one_to_one(self):
        doubled = [dict(n) for n in LINE] + [dict(n, onset=n["onset"] + 0.01) for n in LINE]
        f = figures(doubled)
        self.assertEqual(f["recall"], 1.0)
        self.assertAlmostEqual(f["precision"], 0.5)

    def test_offsets_are_not_scored(self):
        found = [dict(n, offset=n["onset"] + 0.01) for n in LINE]
        self.assertEqual(figures(found)["f"], 1.0)

    def test_nothing_found_scores_nothing(self):
        f = figures([])
        self.assertEqual((f["precision"], f["recall"], f["f"]), (0.0, 0.0, 0.0))


class Values(unittest.TestCase):
    def test_written_values(self):
        # truth ticks, ticks read: a dotted quarter read as a quarter, a triplet as a plain
        # eighth, a sixteenth as an eighth are wrong; "not written" (0) is wrong.
        rows = [(5760, 5760, True), (5760, 3840, False), (1280, 1920, False), (1280, 1280, True),
                (960, 1920, False), (15360, 15360, True), (2560, 2560, True), (3840, 0, False)]
        for truth_ticks, read, right in rows:
            with self.subTest(truth=truth_ticks, read=read):
                truth = [note(0.0, 33, ticks=truth_ticks)]
                f = figures([dict(truth[0], ticks=read)], truth)
                self.assertEqual(f["values"], 1.0 if right else 0.0)

    def test_triplets_of_different_notes_are_left_out_of_what_a_tab_holds(self):
        # A tab writes a triplet as one note struck three times: three different notes are
        # counted among all values but not among those a tab could hold.
        rows = [((33, 33, 33), 1.0), ((33, 35, 36), None)]
        for pitches, in_tab in rows:
            with self.subTest(pitches=pitches):
                truth = [note(0.2 * i, p, ticks=1280, triplet=True) for i, p in enumerate(pitches)]
                f = figures([dict(n, ticks=1280) for n in truth], truth)
                self.assertEqual(f["values"], 1.0)
                self.assertEqual(f["durations"], in_tab)

    def test_place_needs_string_and_fret(self):
        rows = [((3, 2), True), ((4, 7), False), ((3, 3), False), ((2, 2), False)]
        for (string, fret), right in rows:
            with self.subTest(string=string, fret=fret):
                truth = [note(0.0, 35, string=3, fret=2)]
                f = figures([dict(truth[0], string=string, fret=fret)], truth)
                self.assertEqual(f["string_fret"], 1.0 if right else 0.0)

    def test_techniques_found_and_false(self):
        # truth technique, technique read, (found, false) for the technique read
        rows = [("hammer", "hammer", (1, 0)), ("plain", "hammer", (0, 1)), ("slide", "hammer", (0, 1)),
                ("slap", "slap", (1, 0)), ("pop", "slap", (0, 1))]
        for truth_technique, read, (found, false) in rows:
            with self.subTest(truth=truth_technique, read=read):
                truth = [note(0.0, 35, technique=truth_technique)]
                f = figures([dict(truth[0], technique=read)], truth)
                counts = f["per_technique"][read]
                self.assertEqual((counts["found"], counts["false"]), (found, false))
                self.assertEqual(f["techniques"], 1.0 if truth_technique == read else 0.0)

    def test_a_note_not_matched_has_a_false_technique(self):
        truth = [note(0.0, 35)]
        f = figures([note(1.0, 35, technique="slide")], truth)
        self.assertEqual(f["per_technique"]["slide"], {"truth": 0, "found": 0, "false": 1})


class Tempo(unittest.TestCase):
    def test_within_two_percent_or_half_or_double(self):
        rows = [(96, 96, True), (97.9, 96, True), (94.1, 96, True), (98.5, 96, False), (48, 96, True),
                (192, 96, True), (47, 96, False), (196, 96, False), (64, 96, False), (144, 96, False),
                (0, 96, False), (None, 96, False)]
        for found, truth, right in rows:
            with self.subTest(found=found, truth=truth):
                self.assertEqual(tempo_right(found, truth), right)

    def test_tempo_share_comes_from_the_run_without_it(self):
        tally = Tally()
        tally.add(dict(tempo=TEMPO, notes=LINE), dict(tempo=TEMPO * 1.5, notes=LINE), dict(tempo=TEMPO, notes=LINE))
        tally.add(dict(tempo=TEMPO, notes=LINE), dict(tempo=TEMPO / 2, notes=LINE), None)
        self.assertEqual(tally.figures()["tempo"], 0.5)


class Goals(unittest.TestCase):
    def test_thresholds_and_peers(self):
        # our F clean, noisy, values, tempo, the peer's F clean: which goals fail
        rows = [((0.96, 0.86, 0.91, 0.95, 0.5), set()),
                ((0.94, 0.86, 0.91, 0.95, 0.5), {("f", "tuning clean"), ("f_tempo_given", "tuning clean")}),
                ((0.96, 0.84, 0.91, 0.95, 0.5), {("f", "tuning noisy"), ("f_tempo_given", "tuning noisy")}),
                ((0.96, 0.86, 0.89, 0.95, 0.5), {("durations", "tuning clean"), ("durations", "tuning noisy")}),
                ((0.96, 0.86, 0.91, 0.85, 0.5), {("tempo", "tuning clean"), ("tempo", "tuning noisy")}),
                ((0.96, 0.86, 0.91, 0.95, 0.97), {("f over peer", "tuning clean")})]
        for (clean, noisy, values, tempo, peer), failing in rows:
            with self.subTest(row=(clean, noisy, values, tempo, peer)):
                ours = {f"tuning {g}": dict(f=f, f_tempo_given=f, durations=values, tempo=tempo)
                        for g, f in (("clean", clean), ("noisy", noisy))}
                theirs = {"tuning clean": dict(f=peer), "tuning noisy": dict(f=0.5)}
                rows_out = goals_met({"ours": ours, "peer": theirs}, {"f", "durations", "tempo", "peers"}, ["peer"])
                self.assertEqual({(goal, group) for goal, group, _, _, met in rows_out if not met}, failing)


if __name__ == "__main__":
    unittest.main()
