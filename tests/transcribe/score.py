#!/usr/bin/python3
"""Scores transcriptions of the test set against its truth.

Usage: score.py SET_DIR PART --system NAME=DIR [--system ...] [--check [GOALS]] [--json OUT]

SET_DIR is what make_set.py wrote. Each system's DIR holds, per render, RENDER.json (the tempo
not given) and, for Quorlin, RENDER.tempo.json (the tempo given). The first system is the one
the goals are for; the others are the peers it must beat.

A note is right when its onset is within 50 ms and its pitch the same semitone, matched one to
one, as mir_eval scores transcriptions; offsets are not scored.
"""

import argparse
import json
import sys
import warnings
from pathlib import Path

import mir_eval
import numpy as np

from notevalues import written_of

ONSET_TOLERANCE = 0.05
PITCH_TOLERANCE = 50.0  # cents
TEMPO_TOLERANCE = 0.02
TECHNIQUES = ["hammer", "pull", "slide", "slap", "pop"]
GROUPS = [("tuning", "clean"), ("tuning", "noisy"), ("heldout", "clean"), ("heldout", "noisy"),
          (None, "clean"), (None, "noisy"), (None, None)]
GOALS = {"f_clean": 0.95, "f_noisy": 0.85, "durations": 0.90, "tempo": 0.90}


def hz(pitches):
    return 440.0 * 2.0 ** ((np.asarray(pitches, dtype=float) - 69.0) / 12.0)


def arrays(notes):
    # mir_eval refuses negative and empty intervals, which only offsets would make here.
    onsets = [max(0.0, n["onset"]) for n in notes]
    intervals = np.array([[t, max(n["offset"], t + 1e-3)] for t, n in zip(onsets, notes)], dtype=float)
    return intervals.reshape(-1, 2), hz([n["pitch"] for n in notes])


def match(truth_notes, found_notes):
    """Pairs (truth index, found index) and the note precision, recall and F."""
    ref_i, ref_p = arrays(truth_notes)
    est_i, est_p = arrays(found_notes)
    if not len(found_notes):
        return [], (0.0, 0.0, 0.0)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        pairs = mir_eval.transcription.match_notes(ref_i, ref_p, est_i, est_p, onset_tolerance=ONSET_TOLERANCE,
                                                   pitch_tolerance=PITCH_TOLERANCE, offset_ratio=None)
        p, r, f, _ = mir_eval.transcription.precision_recall_f1_overlap(
            ref_i, ref_p, est_i, est_p, offset_ratio=None, onset_tolerance=ONSET_TOLERANCE,
            pitch_tolerance=PITCH_TOLERANCE)
    return pairs, (p, r, f)


def tempo_right(found, truth):
    if not found or found <= 0:
        return False
    return any(abs(found / (truth * k) - 1.0) <= TEMPO_TOLERANCE for k in (0.5, 1.0, 2.0))


def writable(notes):
    """Which truth notes a Quorlin tab can write with their value: all but triplets of different
    notes, since the tab writes a triplet as one note struck three times."""
    ok = [True] * len(notes)
    i = 0
    while i < len(notes):
        if not notes[i].get("triplet"):
            i += 1
            continue
        j = i
        while j < len(notes) and notes[j].get("triplet"):
            j += 1
        for start in range(i, j, 3):
            group = notes[start:min(start + 3, j)]
            if len(group) < 3 or len({n["pitch"] for n in group}) > 1:
                for k in range(start, min(start + 3, j)):
                    ok[k] = False
        i = j
    return ok


def same_value(truth_note, found_note):
    return written_of(truth_note["ticks"]) == written_of(found_note.get("ticks", 0) or 0)


class Tally:
    """Counts of one system over a group of renders."""

    def __init__(self):
        self.f = []
        self.f_tempo = []
        self.p, self.r = [], []
        self.matched = self.truth = self.found = 0
        self.value_pairs = self.value_right = 0
        self.tab_pairs = self.tab_right = 0
        self.place_right = self.technique_right = 0
        self.tempo_lines = self.tempo_right = 0
        self.techniques = {t: {"truth": 0, "found": 0, "false": 0} for t in TECHNIQUES}

    def add(self, truth, free, given):
        """free: the transcription without the tempo; given: with it, or None."""
        pairs, (p, r, f) = match(truth["notes"], free["notes"])
        self.p.append(p)
        self.r.append(r)
        self.f.append(f)
        self.tempo_lines += 1
        self.tempo_right += tempo_right(free.get("tempo"), truth["tempo"])
        detail = free
        if given is not None:
            detail_pairs, (_, _, f_given) = match(truth["notes"], given["notes"])
            self.f_tempo.append(f_given)
            detail, pairs = given, detail_pairs
        self.truth += len(truth["notes"])
        self.found += len(detail["notes"])
        self.matched += len(pairs)
        for t in truth["notes"]:
            if t["technique"] in self.techniques:
                self.techniques[t["technique"]]["truth"] += 1
        right_of = {}
        can_write = writable(truth["notes"])
        for ti, fi in pairs:
            t, n = truth["notes"][ti], detail["notes"][fi]
            right_of[fi] = t
            self.value_pairs += 1
            self.value_right += same_value(t, n)
            if can_write[ti]:
                self.tab_pairs += 1
                self.tab_right += same_value(t, n)
            self.place_right += (t["string"], t["fret"]) == (n.get("string"), n.get("fret"))
            self.technique_right += t["technique"] == n.get("technique", "plain")
        for fi, n in enumerate(detail["notes"]):
            technique = n.get("technique", "plain")
            if technique not in self.techniques:
                continue
            if fi in right_of and right_of[fi]["technique"] == technique:
                self.techniques[technique]["found"] += 1
            else:
                self.techniques[technique]["false"] += 1

    def figures(self):
        mean = lambda xs: float(np.mean(xs)) if xs else None
        share = lambda a, b: a / b if b else None
        return {
            "renders": len(self.f), "truth_notes": self.truth,
            "precision": mean(self.p), "recall": mean(self.r), "f": mean(self.f), "f_tempo_given": mean(self.f_tempo),
            "values": share(self.value_right, self.value_pairs),
            # The goal: of the notes whose value a tab can hold.
            "durations": share(self.tab_right, self.tab_pairs),
            "string_fret": share(self.place_right, self.value_pairs),
            "techniques": share(self.technique_right, self.value_pairs),
            "tempo": share(self.tempo_right, self.tempo_lines),
            "per_technique": self.techniques,
        }


def load(path):
    with open(path) as f:
        return json.load(f)


def in_group(render, split, group):
    return (split is None or render["split"] == split) and (group is None or render["group"] == group)


def group_name(split, group):
    return f"{split or 'all'} {group or 'renders'}"


def score(set_dir, part, systems):
    """{system: {group name: figures}}; a render a system has no transcription of is skipped
    for it and counted as missing."""
    manifest = load(Path(set_dir) / f"set-{part}.json")
    truths = {l["name"]: load(Path(set_dir) / l["truth"]) for l in manifest["lines"]}
    out, missing = {}, {}
    for name, folder in systems:
        tallies = {group_name(s, g): Tally() for s, g in GROUPS}
        missing[name] = 0
        for render in manifest["renders"]:
            free_path = Path(folder) / f"{render['name']}.json"
            if not free_path.exists():
                missing[name] += 1
                continue
            given_path = Path(folder) / f"{render['name']}.tempo.json"
            free = load(free_path)
            given = load(given_path) if given_path.exists() else None
            for s, g in GROUPS:
                if in_group(render, s, g):
                    tallies[group_name(s, g)].add(truths[render["line"]], free, given)
        out[name] = {k: t.figures() for k, t in tallies.items() if t.f}
    return out, missing


def goals_met(results, goals, peers):
    """(goal, group, figure, wanted, met) for each goal of the first system."""
    ours = next(iter(results.values()))
    rows = []
    for s, g in GROUPS[:4]:
        name = group_name(s, g)
        figures = ours.get(name)
        if figures is None:
            continue
        if "f" in goals:
            wanted = GOALS["f_clean"] if g == "clean" else GOALS["f_noisy"]
            for key in ("f", "f_tempo_given"):
                if figures[key] is not None:
                    rows.append((key, name, figures[key], wanted, figures[key] >= wanted))
        if "durations" in goals and figures["durations"] is not None:
            rows.append(("durations", name, figures["durations"], GOALS["durations"],
                         figures["durations"] >= GOALS["durations"]))
        if "tempo" in goals and figures["tempo"] is not None:
            rows.append(("tempo", name, figures["tempo"], GOALS["tempo"], figures["tempo"] >= GOALS["tempo"]))
        if "peers" in goals:
            for peer in peers:
                theirs = results[peer].get(name)
                if theirs is not None:
                    rows.append((f"f over {peer}", name, figures["f"], theirs["f"], figures["f"] > theirs["f"]))
    return rows


def percent(x):
    return "   -  " if x is None else f"{100 * x:5.1f}%"


def table(results, missing):
    lines = []
    for system, groups in results.items():
        lines.append(f"{system}" + (f"  ({missing[system]} renders without a transcription)" if missing[system] else ""))
        lines.append(f"  {'group':<16}{'renders':>8}{'notes':>7}{'P':>8}{'R':>8}{'F':>8}{'F tempo':>9}"
                     f"{'values':>8}{'in tab':>8}{'places':>8}{'techn.':>8}{'tempo':>8}")
        for name, f in groups.items():
            lines.append(f"  {name:<16}{f['renders']:>8}{f['truth_notes']:>7}{percent(f['precision']):>8}"
                         f"{percent(f['recall']):>8}{percent(f['f']):>8}{percent(f['f_tempo_given']):>9}"
                         f"{percent(f['values']):>8}{percent(f['durations']):>8}{percent(f['string_fret']):>8}"
                         f"{percent(f['techniques']):>8}"
                         f"{percent(f['tempo']):>8}")
        every = groups.get(group_name(None, None))
        if every and any(v["found"] or v["false"] for v in every["per_technique"].values()):
            found = ", ".join(f"{t} {v['found']}/{v['truth']} (+{v['false']} false)"
                              for t, v in every["per_technique"].items())
            lines.append(f"  techniques found: {found}")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("set_dir")
    parser.add_argument("part", choices=["small", "full"])
    parser.add_argument("--system", action="append", required=True, help="NAME=DIR, ours first")
    parser.add_argument("--check", nargs="?", const="f,durations,tempo,peers", default=None,
                        help="exit 1 unless these goals are met: f, durations, tempo, peers")
    parser.add_argument("--json", help="write the figures here")
    args = parser.parse_args()
    systems = [tuple(s.split("=", 1)) for s in args.system]
    results, missing = score(args.set_dir, args.part, systems)
    print(table(results, missing))
    goals = set(args.check.split(",")) if args.check else {"f", "durations", "tempo", "peers"}
    rows = goals_met(results, goals, [name for name, _ in systems[1:] if name in results]) if results else []
    if rows:
        print("goals")
        for goal, group, figure, wanted, met in rows:
            print(f"  {goal:<22}{group:<16}{percent(figure)}  wanted {'>' if 'over' in goal else '>='} "
                  f"{percent(wanted)}  {'met' if met else 'NOT MET'}")
    if args.json:
        Path(args.json).write_text(json.dumps({"results": results, "missing": missing,
                                               "goals": [dict(goal=g, group=n, figure=f, wanted=w, met=m)
                                                         for g, n, f, w, m in rows]}, indent=1) + "\n")
    if args.check is not None:
        ours = systems[0][0]
        if ours not in results or missing.get(ours):
            print(f"score: {ours} has no transcription of {missing.get(ours, 'any')} renders", file=sys.stderr)
            sys.exit(1)
        if not all(m for *_, m in rows):
            sys.exit(1)


if __name__ == "__main__":
    main()
