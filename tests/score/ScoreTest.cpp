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

// A four-string block from its rhythm, four string lines and articulation, heads added.
Lines block(const std::string& rhythm, const Lines& strings, const std::string& articulation)
{
    Lines lines{"| " + rhythm};
    const char* heads[] = {"G ", "D ", "A ", "E "};
    for (std::size_t s = 0; s < strings.size(); ++s)
        lines.push_back(heads[s] + strings[s]);
    lines.push_back("> " + articulation);
    return lines;
}

TEST(ReadScore, ColumnKinds)
{
    const std::string dashes(18, '-');
    // The lines of strings 2 to 4 when they hold no note: dashes as long as the rhythm.
    const auto block4 = [&](const std::string& rhythm, Lines strings, const std::string& marks) {
        strings.resize(4, dashes.substr(0, rhythm.size()));
        return block(rhythm, strings, marks);
    };
    struct Row {
        const char* name;
        Lines lines;
        const char* columns;
    };
    const std::vector<Row> rows = {
        {"plain", block4("  q", {"--5"}, "   "), "0+480 1/5"},
        {"fret 0 and two digits", block4("  e  s", {"--0---", "------", "------", "----24"}, ""),
         "0+240 1/0, 240+120 4/24"},
        {"hammer-on and pull-off", block4("  q  q", {"--5H-7", "------", "------", "---P12"}, ""),
         "0+480 1/5, 480+480 1/7H 4/12P"},
        {"slides: backslash up, slash down",
         block4("  h  w", {"--5\\-9", "------", "------", "---/-3"}, ""),
         "0+960 1/5, 960+1920 1/9\\ 4/3/"},
        {"slap and pop mark every note", block4("  q  q", {"--5---", "---H-7"}, "  +  ."),
         "0+480 1/5+, 480+480 2/7."},
        {"rest, and a column with no note", block4("  q  h", {}, "  r   "), "0+480 r, 480+960 r"},
        {"dotted", block4(" q. s. w.", {"--5--5--5"}, ""), "0+720 1/5, 720+180 1/5, 900+2880 1/5"},
        {"chord on several strings", block4("  q", {"--5", "--7", "-10"}, ""),
         "0+480 1/5 2/7 3/10"},
        {"chord on a slap column", block4("  e", {"---", "--3", "-12"}, "  +"), "0+240 2/3+ 3/12+"},
        {"triplet of eighths", block4("  e  e  e  q", {"--5~~5~~5--7"}, ""),
         "0+160 t 1/5, 160+160 t 1/5, 320+160 t 1/5, 480+480 1/7"},
        {"triplet of dotted sixteenths after a note",
         block4("  q s. s. s.", {"--3---------", "----12~12~12"}, ""),
         "0+480 1/3, 480+120 t 2/12, 600+120 t 2/12, 720+120 t 2/12"},
        {"two triplets back to back", block4("  e  e  e  s  s  s", {"--5~~5~~5--7~~7~~7"}, ""),
         "0+160 t 1/5, 160+160 t 1/5, 320+160 t 1/5, 480+80 t 1/7, 560+80 t 1/7, 640+80 t 1/7"},
        {"fill of New line, then a rest after it",
         block4("  q     "
                "  e",
                {"--5--------"},
                "        "
                "  r"),
         "0+480 1/5, 480+240 r"},
        {"fill, then a dotted rest", block4("  q    e.", {"--5------"}, "         r"),
         "0+480 1/5, 480+360 r"},
        {"characters of several bytes count once",
         block4("  q  q",
                {"-\xC3\xA9"
                 "5--7"},
                ""),
         "480+480 1/7"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Score score = read(row.lines);
        EXPECT_EQ(describe(score), row.columns);
        ASSERT_EQ(score.blocks.size(), 1u);
        ASSERT_FALSE(score.columns.empty());
        const Column& last = score.columns.back();
        EXPECT_EQ(score.length, last.start + last.length);
        EXPECT_EQ(score.blocks[0].length, score.length);
        EXPECT_EQ(score.blocks[0].columnCount, score.columns.size());
    }
}

TEST(ReadScore, BlocksFollowEachOtherAcrossJunkLines)
{
    Lines lines = block("  q     ", {"--5-----", "--------", "--------", "--------"}, "        ");
    lines.push_back("");
    lines.push_back("a note typed between blocks");
    const Lines second = block("  h  q", {"------", "--2---", "------", "------"}, "      ");
    lines.insert(lines.end(), second.begin(), second.end());
    lines.push_back("| a block cut short");
    lines.push_back("G --5");

    const Score score = read(lines);
    EXPECT_EQ(describe(score), "0+480 1/5, 480+960 2/2, 1440+480 r");
    ASSERT_EQ(score.blocks.size(), 2u);
    EXPECT_EQ(score.blocks[1], (Block{8, 1, 2, 480, 1440}));
    EXPECT_EQ(score.columns[1].block, 1);
    EXPECT_EQ(score.columns[1].line, 8);
    EXPECT_EQ(score.columns[1].offset, 2);
    EXPECT_EQ(score.length, 1920);
    EXPECT_TRUE(score.skipped.empty());
}

TEST(ReadScore, DamagedColumnsAreSkippedAndListed)
{
    const std::string none = "------";
    struct Row {
        const char* name;
        Lines lines;
        const char* columns;
        std::vector<int> offsets; // of the skipped columns, all on line 0
    };
    const std::vector<Row> rows = {
        {"unknown duration: no time",
         block("  x  q", {"--5--7", none, none, none}, ""),
         "0+480 1/7",
         {2}},
        {"unknown mark keeps its time",
         block("  q  q", {"X-5--7", none, none, none}, ""),
         "480+480 1/7",
         {2}},
        {"fret past the neck",
         block("  q  q", {"-25--7", none, none, none}, ""),
         "480+480 1/7",
         {2}},
        {"fret below 10 in two digits", block("  q", {"-05", none, none, none}, ""), "", {2}},
        {"half a triplet mark", block("  q", {"~-5", none, none, none}, ""), "", {2}},
        {"string line cut short", block("  q  q", {"--5", none, none, none}, ""), "0+480 1/5", {5}},
        {"string line deleted: the next block's rhythm is taken for articulation",
         {"|   q", "G --5", "D ---", "A ---", ">    ", "|   q"},
         "",
         {2}},
        {"rest over a note",
         block("  q  q", {"--5--7", none, none, none}, "  r"),
         "480+480 1/7",
         {2}},
        {"unknown articulation",
         block("  q  q", {"--5--7", none, none, none}, "  !"),
         "480+480 1/7",
         {2}},
        {"stray text over fill is no column",
         block("  q hello", {"--5------", none + "---", none + "---", none + "---"}, ""),
         "0+480 1/5",
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Score score = read(row.lines);
        EXPECT_EQ(describe(score), row.columns);
        std::vector<Skip> skips;
        for (const int offset : row.offsets)
            skips.push_back({0, offset});
        EXPECT_EQ(score.skipped, skips);
    }
}

TEST(ReadScore, PitchComesFromTheLineHeadOrElseTheTuning)
{
    instrument::Tuning tuning;
    tuning.set(3, "??");
    // String 2 is retuned on its line; string 3's line and tuning name no note, string 4's
    // line names none but the tuning does.
    const Lines lines = {"|   q  q  q", "G ---------", "C --3------",
                         "x -----2---", "xx--------7", ">          "};
    const Score score = read(lines, 4, tuning);
    ASSERT_EQ(score.columns.size(), 2u);
    EXPECT_EQ(score.columns[0].notes, (std::vector<Note>{{2, 3, 39, Technique::Plain}}));
    EXPECT_EQ(score.columns[1].notes, (std::vector<Note>{{4, 7, 35, Technique::Plain}}));
    EXPECT_EQ(score.skipped, (std::vector<Skip>{{0, 5}}));

    const Lines six = {"| "
                       "  q",
                       "C -10",
                       "G ---",
                       "D ---",
                       "A ---",
                       "E ---",
                       "B --1",
                       ">    "};
    const Score sixStrings = read(six, 6);
    ASSERT_EQ(sixStrings.columns.size(), 1u);
    EXPECT_EQ(sixStrings.columns[0].notes,
              (std::vector<Note>{{1, 10, 58, Technique::Plain}, {6, 1, 24, Technique::Plain}}));
}

TEST(OpenPitch, NearestToThePlaceLowerOnATie)
{
    struct Row {
        int string;
        int strings;
        const char* name;
        int pitch;
    };
    const std::vector<Row> rows =
        {
            {1, 4, "G ", 43}, {2, 4, "D ", 38}, {3, 4, "A ", 33}, {4, 4, "E ", 28},
            {5, 5, "B ", 23}, {1, 5, "G ", 43}, {1, 6, "C ", 48}, {2, 6, "G ", 43},
            {6, 6, "B ", 23}, {4, 4, "D ", 26}, {4, 4, "F ", 29}, {3, 4, "C ", 36},
            {3, 4, "F#", 30}, {4, 4, "A#", 22}, // six semitones either way: the lower
            {1, 4, "C#", 37}, {1, 6, "F#", 42}, {5, 4, "B ", -1}, {0, 4, "G ", -1},
            {1, 4, "H ", -1}, {1, 4, "G", -1},  {1, 4, "Gb", -1},
        };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.string) + " of " + std::to_string(row.strings) + " " +
                     row.name);
        EXPECT_EQ(openPitch(row.string, instrument::StringCount(row.strings), row.name), row.pitch);
    }
}

TEST(SkippedText, NamesTheCountAndTheLines)
{
    struct Row {
        std::vector<Skip> skipped;
        const char* text;
    };
    const std::vector<Row> rows = {
        {{}, ""},
        {{{13, 2}}, "1 column could not be read, line 14"},
        {{{13, 2}, {13, 11}}, "2 columns could not be read, line 14"},
        {{{13, 2}, {21, 5}, {39, 8}}, "3 columns could not be read, lines 14 to 40"},
    };
    for (const Row& row : rows) {
        Score score;
        score.skipped = row.skipped;
        EXPECT_EQ(skippedText(score), row.text);
    }
}

TEST(Score, LooksUpColumnsByTickAndBlocksByLine)
{
    // Columns at 0..480, a skipped one keeping 480..960 silent, 960..1200; then a blank line
    // and a block at line 7 with one column at 1200..1680.
    Lines lines = block("  q  q  e", {"--5X-7--3", "---------", "---------", "---------"}, "");
    lines.push_back("");
    const Lines second = block("  q", {"--1", "---", "---", "---"}, "");
    lines.insert(lines.end(), second.begin(), second.end());
    const Score score = read(lines);
    ASSERT_EQ(describe(score), "0+480 1/5, 960+240 1/3, 1200+480 1/1");

    const std::vector<std::pair<std::int64_t, int>> ticks = {
        {-1, -1},  {0, 0},    {479, 0},  {480, -1},  {959, -1},     {960, 1},
        {1199, 1}, {1200, 2}, {1679, 2}, {1680, -1}, {1 << 30, -1},
    };
    for (const auto& [tick, column] : ticks)
        EXPECT_EQ(score.columnAt(tick), column) << "tick " << tick;

    const std::vector<std::pair<int, int>> blockLines = {
        {-1, -1}, {0, 0}, {5, 0}, {6, -1}, {7, 1}, {12, 1}, {13, -1},
    };
    for (const auto& [line, index] : blockLines)
        EXPECT_EQ(score.blockOfLine(line), index) << "line " << line;
}

TEST(Score, TempoIsClampedAndTimesTheTicks)
{
    struct Row {
        int tempo;
        int kept;
        std::int64_t tick;
        double seconds;
    };
    const std::vector<Row> rows = {
        {120, 120, 480, 0.5},
        {0, kMinTempo, 480, 3.0},
        {1000, kMaxTempo, 1920, 0.6},
        {100, 100, 0, 0.0},
    };
    for (const Row& row : rows) {
        const Score score = readScore({}, instrument::StringCount(4), {}, row.tempo);
        EXPECT_EQ(score.tempo, row.kept);
        EXPECT_DOUBLE_EQ(score.secondsAt(row.tick), row.seconds);
    }
}

} // namespace
} // namespace quorlin::score
