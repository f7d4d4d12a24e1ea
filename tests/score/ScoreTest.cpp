// The tab read as music: every kind of column the editor writes, the damage a hand edit
// leaves, and the lookups playback makes by tick and by line.

#include "score/Score.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorlin::score {
namespace {

using Lines = std::vector<std::string>;

Score read(const Lines& lines, int strings = 4, const instrument::Tuning& tuning = {})
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    return readScore(views, instrument::StringCount(strings), tuning, kDefaultTempo);
}

// "0+480 1/5H, 480+480 r": start and length, rest and triplet, then each note as
// string/fret and its technique's mark, none for a plain note.
std::string describe(const Score& score)
{
    std::ostringstream out;
    for (const Column& c : score.columns) {
        out << (&c == score.columns.data() ? "" : ", ") << c.start << '+' << c.length;
        out << (c.rest ? " r" : "") << (c.triplet ? " t" : "");
        for (const Note& n : c.notes) {
            out << ' ' << n.string << '/' << n.fret;
            if (n.technique != Technique::Plain)
                out << "-HP\\/+."[static_cast<int>(n.technique)];
        }
    }
    return out.str();
}

// A four-string block with heads; strings empty or left out are dashes as long as the rhythm.
Lines block(const std::string& rhythm, Lines strings, const std::string& articulation)
{
    strings.resize(4);
    Lines lines{"| " + rhythm};
    for (std::size_t s = 0; s < 4; ++s)
        lines.push_back("GDAE"[s] + (" " + (strings[s].empty() ? std::string(rhythm.size(), '-')
                                                               : strings[s])));
    lines.push_back("> " + articulation);
    return lines;
}

TEST(ReadScore, EveryColumnKindAndTheDamageSkipped)
{
    // A damaged column is skipped and listed by its offset, on line 0.
    struct Row {
        const char* name;
        Lines lines;
        const char* columns;
        int skippedAt = -1;
    };
    const Row rows[] = {
        {"plain", block("  q", {"--5"}, "   "), "0+480 1/5"},
        {"fret 0 and two digits", block("  e  s", {"--0---", "", "", "----24"}, ""),
         "0+240 1/0, 240+120 4/24"},
        {"hammer-on and pull-off", block("  q  q", {"--5H-7", "", "", "---P12"}, ""),
         "0+480 1/5, 480+480 1/7H 4/12P"},
        {"slides: backslash up, slash down", block("  h  w", {"--5\\-9", "", "", "---/-3"}, ""),
         "0+960 1/5, 960+1920 1/9\\ 4/3/"},
        {"slap and pop mark every note", block("  q  q", {"--5---", "---H-7"}, "  +  ."),
         "0+480 1/5+, 480+480 2/7."},
        {"rest, and a column with no note", block("  q  h", {}, "  r   "), "0+480 r, 480+960 r"},
        {"dotted", block(" q. s. w.", {"--5--5--5"}, ""), "0+720 1/5, 720+180 1/5, 900+2880 1/5"},
        {"chord", block("  q", {"--5", "--7", "-10"}, ""), "0+480 1/5 2/7 3/10"},
        {"chord on a slap column", block("  e", {"---", "--3", "-12"}, "  +"), "0+240 2/3+ 3/12+"},
        {"triplet of eighths", block("  e  e  e  q", {"--5~~5~~5--7"}, ""),
         "0+160 t 1/5, 160+160 t 1/5, 320+160 t 1/5, 480+480 1/7"},
        {"triplet of dotted sixteenths after a note",
         block("  q s. s. s.", {"--3---------", "----12~12~12"}, ""),
         "0+480 1/3, 480+120 t 2/12, 600+120 t 2/12, 720+120 t 2/12"},
        {"two triplets back to back", block("  e  e  e  s  s  s", {"--5~~5~~5--7~~7~~7"}, ""),
         "0+160 t 1/5, 160+160 t 1/5, 320+160 t 1/5, 480+80 t 1/7, 560+80 t 1/7, 640+80 t 1/7"},
        {"fill of New line, then a rest", block("  q       e", {"--5--------"}, "          r"),
         "0+480 1/5, 480+240 r"},
        {"fill, then a dotted rest", block("  q    e.", {"--5------"}, "         r"),
         "0+480 1/5, 480+360 r"},
        {"characters of several bytes count once", block("  q  q", {"-\u00E95--7"}, ""),
         "480+480 1/7", 2},
        {"unknown duration: no time", block("  x  q", {"--5--7"}, ""), "0+480 1/7", 2},
        {"unknown mark keeps its time", block("  q  q", {"X-5--7"}, ""), "480+480 1/7", 2},
        {"fret past the neck", block("  q  q", {"-25--7"}, ""), "480+480 1/7", 2},
        {"fret below 10 in two digits", block("  q", {"-05"}, ""), "", 2},
        {"half a triplet mark", block("  q", {"~-5"}, ""), "", 2},
        {"string line cut short", block("  q  q", {"--5"}, ""), "0+480 1/5", 5},
        {"string line deleted: the next block's rhythm is taken for articulation",
         {"|   q", "G --5", "D ---", "A ---", ">    ", "|   q"},
         "",
         2},
        {"rest over a note", block("  q  q", {"--5--7"}, "  r"), "480+480 1/7", 2},
        {"unknown articulation", block("  q  q", {"--5--7"}, "  !"), "480+480 1/7", 2},
        {"stray text over fill is no column", block("  q hello", {"--5------"}, ""), "0+480 1/5"},
    };
    for (const auto& [name, lines, columns, skippedAt] : rows) {
        SCOPED_TRACE(name);
        const Score score = read(lines);
        EXPECT_EQ(describe(score), columns);
        std::vector<Skip> skips;
        if (skippedAt >= 0)
            skips.push_back({0, skippedAt});
        EXPECT_EQ(score.skipped, skips);
        if (score.columns.empty() || !skips.empty())
            continue;
        const Column& last = score.columns.back();
        EXPECT_EQ(score.length, last.start + last.length);
        ASSERT_EQ(score.blocks.size(), 1u);
        EXPECT_EQ(score.blocks[0].length, score.length);
        EXPECT_EQ(score.blocks[0].columnCount, score.columns.size());
    }
}

TEST(ReadScore, BlocksFollowEachOtherAcrossJunkLinesAndAreLookedUp)
{
    // Columns at 0..480, a skipped one keeping 480..960 silent, 960..1200; junk lines, and a
    // block at line 8 with columns at 1200..2160 and 2160..2640; a block cut short.
    Lines lines = block("  q  q  e", {"--5X-7--3"}, "");
    lines.insert(lines.end(), {"", "a note typed between blocks"});
    const Lines second = block("  h  q", {"", "--2---"}, "");
    lines.insert(lines.end(), second.begin(), second.end());
    lines.insert(lines.end(), {"| a block cut short", "G --5"});

    const Score score = read(lines);
    EXPECT_EQ(describe(score), "0+480 1/5, 960+240 1/3, 1200+960 2/2, 2160+480 r");
    EXPECT_EQ(score.skipped, (std::vector<Skip>{{0, 5}}));
    ASSERT_EQ(score.blocks.size(), 2u);
    EXPECT_EQ(score.blocks[1], (Block{8, 2, 2, 1200, 1440}));
    EXPECT_EQ(std::tuple(score.columns[2].block, score.columns[2].line, score.columns[2].offset),
              std::tuple(1, 8, 2));
    EXPECT_EQ(score.length, 2640);

    const std::pair<std::int64_t, int> ticks[] = {
        {-1, -1},  {0, 0},    {479, 0},  {480, -1},  {959, -1},     {960, 1},
        {1199, 1}, {1200, 2}, {2639, 3}, {2640, -1}, {1 << 30, -1},
    };
    for (const auto& [tick, column] : ticks)
        EXPECT_EQ(score.columnAt(tick), column) << "tick " << tick;
    const std::pair<int, int> blockLines[] = {{-1, -1}, {0, 0},  {5, 0},  {6, -1},
                                              {8, 1},   {13, 1}, {14, -1}};
    for (const auto& [line, index] : blockLines)
        EXPECT_EQ(score.blockOfLine(line), index) << "line " << line;
}

TEST(ReadScore, PitchComesFromTheLineHeadOrElseTheTuning)
{
    instrument::Tuning tuning;
    tuning.set(3, "??");
    // String 2 is retuned on its line; string 3's line and tuning name no note, string 4's
    // line names none but the tuning does.
    const Score score =
        read({"|   q  q  q", "G ---------", "C --3------", "x -----2---", "xx--------7", ">"}, 4,
             tuning);
    EXPECT_EQ(describe(score), "0+480 2/3, 960+480 4/7");
    EXPECT_EQ(score.columns.at(0).notes[0].pitch, 39);
    EXPECT_EQ(score.columns.at(1).notes[0].pitch, 35);
    EXPECT_EQ(score.skipped, (std::vector<Skip>{{0, 5}}));

    const Score six = read({"|   q", "C -10", "G ---", "D ---", "A ---", "E ---", "B --1", ">"}, 6);
    EXPECT_EQ(six.columns.at(0).notes,
              (std::vector<Note>{{1, 10, 58, Technique::Plain}, {6, 1, 24, Technique::Plain}}));
}

TEST(OpenPitch, NearestToThePlaceLowerOnATie)
{
    // String, strings, name, pitch; six semitones either way is the lower.
    const std::tuple<int, int, const char*, int> rows[] = {
        {1, 4, "G ", 43}, {2, 4, "D ", 38}, {3, 4, "A ", 33}, {4, 4, "E ", 28}, {5, 5, "B ", 23},
        {1, 5, "G ", 43}, {1, 6, "C ", 48}, {2, 6, "G ", 43}, {6, 6, "B ", 23}, {4, 4, "D ", 26},
        {4, 4, "F ", 29}, {3, 4, "C ", 36}, {3, 4, "F#", 30}, {4, 4, "A#", 22}, {1, 4, "C#", 37},
        {1, 6, "F#", 42}, {5, 4, "B ", -1}, {0, 4, "G ", -1}, {1, 4, "H ", -1}, {1, 4, "G", -1},
        {1, 4, "Gb", -1},
    };
    for (const auto& [string, strings, name, pitch] : rows)
        EXPECT_EQ(openPitch(string, instrument::StringCount(strings), name), pitch)
            << string << " of " << strings << " " << name;
}

TEST(Score, SkippedTextAndTempo)
{
    const std::pair<std::vector<Skip>, const char*> skipped[] = {
        {{}, ""},
        {{{13, 2}}, "1 column could not be read, line 14"},
        {{{13, 2}, {13, 11}}, "2 columns could not be read, line 14"},
        {{{13, 2}, {21, 5}, {39, 8}}, "3 columns could not be read, lines 14 to 40"},
    };
    for (const auto& [skips, text] : skipped) {
        Score score;
        score.skipped = skips;
        EXPECT_EQ(skippedText(score), text);
    }
    // Tempo asked, kept, a tick and its time.
    const std::tuple<int, int, std::int64_t, double> tempos[] = {
        {120, 120, 480, 0.5}, {0, kMinTempo, 480, 3.0}, {1000, kMaxTempo, 1920, 0.6}};
    for (const auto& [tempo, kept, tick, seconds] : tempos) {
        const Score score = readScore({}, instrument::StringCount(4), {}, tempo);
        EXPECT_EQ(score.tempo, kept);
        EXPECT_DOUBLE_EQ(score.secondsAt(tick), seconds);
    }
}

// A chord's notes are sorted by string for the players: each keeps its own marks.
TEST(Timeline, NotesKeepTheirMarksInStringOrder)
{
    model::Track track;
    track.strings = instrument::StringCount(4);
    model::Beat chord;
    chord.notes = {{3, 5, Technique::HammerOn, model::kGhostNote},
                   {1, 2, Technique::Plain, model::kVibrato | model::kLetRing},
                   {2, 4, Technique::Plain, 0}};
    track.beats = {chord, model::Beat{{{4, 0, Technique::Plain, model::kDeadNote}}}};
    const Score score =
        timeline(track, tabtext::layOut(track, {track.strings, track.tuning}), {}, kDefaultTempo);
    ASSERT_EQ(score.columns.size(), 2u);
    const std::vector<std::pair<int, model::NoteFlags>> chordMarks = {
        {1, model::kVibrato | model::kLetRing}, {2, 0}, {3, model::kGhostNote}};
    ASSERT_EQ(score.columns[0].notes.size(), chordMarks.size());
    for (std::size_t n = 0; n < chordMarks.size(); ++n) {
        EXPECT_EQ(score.columns[0].notes[n].string, chordMarks[n].first);
        EXPECT_EQ(score.columns[0].notes[n].flags, chordMarks[n].second);
    }
    EXPECT_EQ(score.columns[1].notes.at(0).flags, model::kDeadNote);
}

} // namespace
} // namespace quorlin::score
