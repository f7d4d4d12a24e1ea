// Keys by name, found from the notes, and pitches spelled for them, checked against the rules
// of key signatures rather than against the code's own tables.

#include "score/Key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quorlin::score {
namespace {

TEST(Key, ReadsEveryKeyOfSevenSharpsOrFlatsAtMostAndNothingElse)
{
    const std::pair<const char*, Key> keys[] = {
        {"C", {0, false}},   {"F", {-1, false}},  {"Bb", {-2, false}}, {"Gb", {-6, false}},
        {"Cb", {-7, false}}, {"F#", {6, false}},  {"C#", {7, false}},  {"Am", {0, true}},
        {"Dm", {-1, true}},  {"Ebm", {-6, true}}, {"Abm", {-7, true}}, {"A#m", {7, true}},
        {"Bm", {2, true}}};
    for (const auto& [name, key] : keys) {
        EXPECT_EQ(readKey(name), key) << name;
        EXPECT_EQ(keyName(key), name);
    }
    for (const char* wrong : {"", "H", "f", "Fb", "D#", "Gbm", "E#", "B#m", "F m", "Fmaj", "Fm7",
                              "F##", "m", "#", "Bbb"})
        EXPECT_EQ(readKey(wrong), std::nullopt) << wrong;
    for (int fifths = -kMaxFifths; fifths <= kMaxFifths; ++fifths) {
        for (const bool minor : {false, true})
            EXPECT_EQ(readKey(keyName({fifths, minor})), (Key{fifths, minor}));
    }
    EXPECT_THROW(keyName({8, false}), std::out_of_range);
}

// The signature as the rules give it: sharps on F C G D A E B, flats on B E A D G C F, in turn.
int signatureAlter(char step, int fifths)
{
    const std::string_view order = fifths >= 0 ? "FCGDAEB" : "BEADGCF";
    const auto at = static_cast<int>(order.find(step));
    return at < std::abs(fifths) ? (fifths > 0 ? 1 : -1) : 0;
}

int semitones(char step)
{
    return std::array{9, 11, 0, 2, 4, 5, 7}[static_cast<std::size_t>(step - 'A')];
}

TEST(Spell, EveryPitchSoundsAsItsNameAndTheScaleTakesTheSignature)
{
    for (int fifths = -kMaxFifths; fifths <= kMaxFifths; ++fifths) {
        for (const bool minor : {false, true}) {
            const Key key{fifths, minor};
            SCOPED_TRACE(keyName(key));
            // The major scale of the signature: its tonic moves seven semitones a sharp.
            const int tonic = ((7 * fifths) % 12 + 12) % 12;
            std::set<int> scale;
            for (const int step : {0, 2, 4, 5, 7, 9, 11})
                scale.insert((tonic + step) % 12);
            std::set<char> scaleSteps;
            for (int pitch = 0; pitch <= 127; ++pitch) {
                const Spelling s = spell(pitch, key);
                ASSERT_TRUE(s.step >= 'A' && s.step <= 'G' && std::abs(s.alter) <= 2) << pitch;
                EXPECT_EQ(12 * (s.octave + 1) + semitones(s.step) + s.alter, pitch);
                if (scale.contains(pitch % 12)) {
                    EXPECT_EQ(s.alter, signatureAlter(s.step, fifths)) << pitch;
                    scaleSteps.insert(s.step);
                }
            }
            EXPECT_EQ(scaleSteps.size(), 7u) << "each letter once in the scale";
        }
    }
}

std::string written(const Spelling& s)
{
    return s.step + std::string(s.alter > 0 ? s.alter : 0, '#') +
           std::string(s.alter < 0 ? -s.alter : 0, 'b') + std::to_string(s.octave);
}

TEST(Spell, NotesOutsideTheScaleTakeTheNameAReaderOfTheKeyExpects)
{
    // Middle C is 60.
    const std::tuple<const char*, std::vector<int>, const char*> rows[] = {
        {"C", {61, 63, 66, 68, 70}, "C#4 Eb4 F#4 Ab4 Bb4"},
        {"Am", {68, 66, 63, 61}, "G#4 F#4 Eb4 C#4"}, // the raised seventh and sixth
        {"F", {61, 63, 66, 68, 71}, "Db4 Eb4 F#4 Ab4 B4"},
        {"Dm", {61, 71, 68}, "C#4 B4 Ab4"}, // the blue fifth flat
        {"Fm", {64, 62, 59}, "E4 D4 Cb4"},  // Cb4 sounds as B3
        {"Gb", {59, 65}, "Cb4 F4"},
        {"C#", {60, 67}, "B#3 F##4"},
        {"Bb", {30, 32, 35}, "Gb1 Ab1 B1"},
    };
    for (const auto& [name, pitches, expected] : rows) {
        std::string out;
        for (const int pitch : pitches)
            out += (out.empty() ? "" : " ") + written(spell(pitch, *readKey(name)));
        EXPECT_EQ(out, expected) << name;
    }
    EXPECT_THROW(spell(60, {-8, false}), std::out_of_range);
}

using Notes = std::vector<std::pair<int, double>>; // pitch, quarters

// Columns of one note each.
Score line(const Notes& notes)
{
    Score s;
    for (const auto& [pitch, quarters] : notes) {
        Column c;
        c.start = s.length;
        c.length = static_cast<std::int64_t>(quarters * kTicksPerBeat);
        c.notes.push_back({1, 0, pitch});
        s.columns.push_back(c);
        s.length += c.length;
    }
    return s;
}

TEST(FindKey, TheKeyAMusicianHearsInTheLine)
{
    const auto scale = [](int from, std::vector<int> steps) {
        Notes notes;
        for (const int step : steps)
            notes.push_back({from + step, 1});
        return notes;
    };
    const std::vector<int> major = {0, 2, 4, 5, 7, 9, 11, 12};
    // A twelve-bar walk in F: F7, Bb7 and C7 arpeggios, the tonic held at the ends.
    Notes blues;
    const Notes f7 = {{29, 1}, {33, 1}, {36, 1}, {39, 1}},
                bb7 = {{34, 1}, {38, 1}, {41, 1}, {44, 1}},
                c7 = {{36, 1}, {40, 1}, {43, 1}, {46, 1}};
    for (const auto* bar : {&f7, &f7, &f7, &f7, &bb7, &bb7, &f7, &f7, &c7, &bb7, &f7, &c7})
        blues.insert(blues.end(), bar->begin(), bar->end());
    blues.push_back({29, 4});
    // A waltz on a five-string: D and G natural, a passing C sharp, no D sharp nor G sharp.
    const Notes waltz = {{28, 2}, {35, 1}, {28, 1},  {35, 1},  {40, 1}, {33, 2}, {40, 1},
                         {38, 2}, {33, 1}, {31, 1},  {35, 1},  {38, 1}, {23, 2}, {30, 1},
                         {23, 1}, {30, 1}, {33, .5}, {37, .5}, {28, 3}};

    const std::pair<const char*, Notes> rows[] = {
        {"C", scale(36, major)},
        {"E", scale(28, major)},
        {"Gb", scale(30, major)}, // six flats rather than six sharps
        {"Am", scale(33, {0, 2, 3, 5, 7, 8, 11, 12})},
        {"Dm", {{38, 2}, {40, 1}, {41, 1}, {43, 1}, {45, 2}, {46, 1}, {49, 1}, {50, 2}}},
        {"Ebm", {{39, 2}, {42, 1}, {46, 2}, {44, 1}, {41, 1}, {37, 1}, {39, 4}}},
        {"F", blues},
        // The blues scale over a held F: minor.
        {"Fm", {{29, 2}, {32, 1}, {34, 1}, {35, 1}, {36, 1}, {39, 1}, {41, 2}}},
        {"Em", waltz},
        {"C", {}},
    };
    for (const auto& [name, notes] : rows)
        EXPECT_EQ(keyName(findKey(line(notes))), name);

    // A chord's notes each count, and so do long notes more than short ones.
    Score chords = line({{33, 1}, {40, 8}});
    chords.columns[1].notes.push_back({2, 0, 44});
    EXPECT_EQ(keyName(findKey(chords)), "E");
}

} // namespace
} // namespace quorlin::score
