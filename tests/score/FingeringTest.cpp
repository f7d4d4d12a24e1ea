// Where the chooser puts notes given only as pitches: bass lines written by hand as a bassist
// plays them go through pitches (all a MIDI file keeps) and back, and must come out as easy on
// the hand and mostly on the same strings; and the rules every answer keeps.

#include "score/Fingering.h"
#include "tests/score/BassLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

namespace quorlin::score {
namespace {

using namespace quorlin::score::testing;

// The bass part of guitarpro5-canon.gp5 (alphaTab's test data, MPL-2.0), as alphaTab reads the
// places Guitar Pro wrote: first position with open strings, as a player wrote it.
Line realPart()
{
    std::ifstream in(QUORLIN_SCORE_DATA "/canon-bass.tab");
    std::string tab;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with('#'))
            tab += line + ' ';
    }
    return {"the bass part of a Guitar Pro file", kFour, tab};
}

TEST(Fingering, BassLinesComeBackAsEasyOnTheHandAndMostlyOnTheirStrings)
{
    std::vector<Line> lines(std::begin(kLines), std::end(kLines));
    lines.push_back(realPart());
    Tally tally;
    Tally inPosition; // lines in one position or on open strings, and the real part
    for (const Line& line : lines) {
        SCOPED_TRACE(line.name);
        const Written w = read(line.tuning, line.tab);
        const std::vector<int> open = openPitches(line.tuning);
        const std::vector<Place> places = chooseFingering(w.notes, open);
        ASSERT_EQ(places.size(), w.notes.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            ASSERT_GE(places[i].string, 1);
            EXPECT_EQ(open[static_cast<std::size_t>(places[i].string - 1)] + places[i].fret,
                      w.notes[i].pitch);
        }
        tally.add(w, places);
        const std::string_view name = line.name;
        if (name.starts_with("one position") || name.starts_with("open strings") ||
            &line == &lines.back())
            inPosition.add(w, places);
    }
    tally.print("fingering");
    inPosition.print("in one position and on open strings");
    RecordProperty("hand_travel_chosen", tally.chosen);
    RecordProperty("hand_travel_written", tally.written);
    RecordProperty("same_string_percent", std::to_string(tally.share()));
    EXPECT_GE(lines.back().tab.size(), 4000u) << "the real part is missing";
    EXPECT_GE(tally.notes, 3500u);
    EXPECT_LE(tally.chosen, tally.written);
    EXPECT_GE(tally.share(), 85.0);
    EXPECT_LE(inPosition.chosen, inPosition.written);
    EXPECT_GE(inPosition.share(), 90.0);
}

// The most notes of a chord that strings of their own can sound, by trying every assignment.
int mostPlaceable(std::span<const ToPlace> chord, std::span<const int> open, int frets,
                  unsigned used = 0)
{
    if (chord.empty())
        return 0;
    int most = mostPlaceable(chord.subspan(1), open, frets, used);
    for (std::size_t s = 0; s < open.size(); ++s) {
        const int fret = chord[0].pitch - open[s];
        if ((used >> s & 1u) == 0 && fret >= 0 && fret <= frets)
            most = std::max(most, 1 + mostPlaceable(chord.subspan(1), open, frets, used | 1u << s));
    }
    return most;
}

// The rules every answer keeps: a place sounds its note on a fret of the neck; a chord's notes
// on strings of their own within one hand where they fit; a note is left out only when no string
// is free to reach it, and the others are placed around it.
void checkRules(std::span<const ToPlace> notes, std::span<const int> open,
                std::span<const Place> places, int frets, bool chordsFitTheHand)
{
    ASSERT_EQ(places.size(), notes.size());
    for (std::size_t i = 0; i < notes.size();) {
        std::size_t end = i;
        std::set<int> strings;
        int low = kHighestFret;
        int high = 0;
        for (; end < notes.size() && notes[end].chord == notes[i].chord; ++end) {
            const Place& p = places[end];
            if (p.string == 0) {
                EXPECT_EQ(p.fret, -1);
                continue;
            }
            ASSERT_LE(p.string, static_cast<int>(open.size()));
            EXPECT_EQ(open[static_cast<std::size_t>(p.string - 1)] + p.fret, notes[end].pitch);
            EXPECT_TRUE(p.fret >= 0 && p.fret <= frets) << p.fret;
            EXPECT_TRUE(strings.insert(p.string).second) << "two notes on string " << p.string;
            if (p.fret > 0) {
                low = std::min(low, p.fret);
                high = std::max(high, p.fret);
            }
        }
        const auto step = notes.subspan(i, end - i);
        EXPECT_EQ(strings.size(), static_cast<std::size_t>(mostPlaceable(step, open, frets)))
            << "notes left out of the step from note " << i;
        if (chordsFitTheHand && high > 0) {
            EXPECT_LE(high - low, 4) << "chord from note " << i;
        }
        i = end;
    }
}

TEST(Fingering, KeepsItsRules)
{
    struct Row {
        const char* name;
        std::string_view tuning;
        std::vector<ToPlace> notes;
        std::size_t leftOut;
        std::vector<std::pair<std::size_t, Place>> some = {}; // notes that must go to a place
    };
    const Row rows[] = {
        {"nothing to place", kFour, {}, 0},
        {"below the lowest string and past the last fret, between notes that are placed",
         kFour,
         {{28, 0}, {27, 1}, {40, 2}, {68, 3}, {33, 4}},
         2,
         {{0, {4, 0}}, {1, {0, -1}}, {3, {0, -1}}}},
        {"fifth and octave on three strings, within one hand",
         kFour,
         {{38, 0}, {45, 0}, {50, 0}},
         0},
        {"a tenth: the root only the E string reaches",
         kFour,
         {{31, 0}, {47, 0}},
         0,
         {{0, {4, 3}}, {1, {1, 4}}}},
        {"two notes only the E string reaches: one is left out", kFour, {{28, 0}, {29, 0}}, 1},
        {"five notes on four strings", kFour, {{28, 0}, {33, 0}, {38, 0}, {43, 0}, {48, 0}}, 1},
        {"a chord of six on six strings",
         kSix,
         {{23, 0}, {28, 0}, {33, 0}, {38, 0}, {43, 0}, {48, 0}},
         0},
        {"a kept string stays; one that cannot reach its note is let go",
         kFour,
         {{33, 0, 4}, {28, 1, 1}, {45, 2, 3}},
         0,
         {{0, {4, 5}}, {1, {4, 0}}, {2, {3, 12}}}},
        {"two notes of a chord kept on one string: the second goes to another",
         kFour,
         {{33, 0, 4}, {40, 0, 4}},
         0,
         {{0, {4, 5}}}},
        {"the low B only on five strings",
         kFive,
         {{23, 0}, {24, 1}, {22, 2}},
         1,
         {{0, {5, 0}}, {1, {5, 1}}, {2, {0, -1}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<int> open = openPitches(row.tuning);
        const std::vector<Place> places = chooseFingering(row.notes, open);
        checkRules(row.notes, open, places, kHighestFret, true);
        EXPECT_EQ(static_cast<std::size_t>(std::ranges::count(places, 0, &Place::string)),
                  row.leftOut);
        for (const auto& [note, place] : row.some)
            EXPECT_EQ(places[note], place) << "note " << note;
    }

    // Pitches and chords at random, on every set-up and a neck cut short.
    std::mt19937 random(7);
    for (const std::string_view tuning : {kFour, kFive, kSix}) {
        for (const int frets : {kHighestFret, 12}) {
            std::vector<ToPlace> notes;
            for (int chord = 0; notes.size() < 3000; ++chord) {
                const int size = 1 + static_cast<int>(random() % 7 == 0 ? random() % 4 : 0);
                for (int k = 0; k < size; ++k)
                    notes.push_back({15 + static_cast<int>(random() % 60), chord});
            }
            const std::vector<int> open = openPitches(tuning);
            const std::vector<Place> places = chooseFingering(notes, open, frets);
            SCOPED_TRACE(std::string(tuning) + ", frets " + std::to_string(frets));
            checkRules(notes, open, places, frets, false);
        }
    }
}

} // namespace
} // namespace quorlin::score
