// Tabs as they are posted on the web, read into the engine's blocks: the sample files in
// data/web, small texts for the tuning and the line ends, and random tabs rendered to text.
// Whatever is imported must read back as music with no column skipped.

#include "files/WebTabImport.h"
#include "instrument/NoteCycle.h"
#include "score/Score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace quorlin::files {
namespace {

std::string sample(const std::string& name)
{
    std::ifstream in(std::string(QUORLIN_FILES_DATA) + "/web/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Checks what every import must give, then reads the tab as music.
score::Score readBack(const ImportedTab& tab)
{
    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const score::Score read =
        score::readScore(lines, tab.strings, tab.tuning, score::kDefaultTempo);
    EXPECT_TRUE(read.skipped.empty()) << score::skippedText(read);
    int notes = 0;
    for (const score::Column& column : read.columns)
        notes += static_cast<int>(column.notes.size());
    EXPECT_EQ(notes, tab.notes);
    EXPECT_EQ(tab.lines.empty(), tab.notes == 0);
    return read;
}

// "43s 50,45e. 38He r:q": each column's pitches, a chord's joined by ',', each with the mark of
// its technique, or "r:" for a rest; then its value. As many columns from `from` as `like`
// shows.
std::string describe(const score::Score& read, std::size_t from, std::string_view like)
{
    const auto count = static_cast<std::size_t>(std::count(like.begin(), like.end(), ' ')) + 1;
    std::string out;
    for (std::size_t i = from; i < std::min(read.columns.size(), from + count); ++i) {
        const score::Column& c = read.columns[i];
        out += out.empty() ? "" : " ";
        out += c.rest ? "r:" : "";
        for (const score::Note& n : c.notes) {
            out += std::to_string(n.pitch);
            if (n.technique != score::Technique::Plain)
                out += "-HP\\/+."[static_cast<int>(n.technique)];
            out += &n == &c.notes.back() ? "" : ",";
        }
        out += std::string(1, c.symbol) + (c.dotted ? "." : "");
    }
    return out;
}

std::string tuningOf(const ImportedTab& tab)
{
    std::string names;
    for (int k = 1; k <= tab.strings.value(); ++k)
        names += tab.tuning.at(k);
    return names;
}

// "8:41 text": where each problem is, and its first word.
std::string problemsOf(const ImportedTab& tab)
{
    std::string out;
    for (const WebTabProblem& p : tab.problems) {
        out += out.empty() ? "" : ", ";
        out += std::to_string(p.line) + ':' + std::to_string(p.column) + ' ' +
               p.what.substr(0, p.what.find(' '));
    }
    return out;
}

TEST(ImportWebTab, SampleFiles)
{
    const struct {
        const char* file;
        const char* tuning;
        int notes;
        std::size_t from;
        const char* columns; // the next columns from `from`
        const char* problems;
    } rows[] = {
        {"standard.txt", "G D A E ", 16, 0, "31s 31s 33e 36e 38e 38e 40s 43e 45e 31s 43s", ""},
        // The header names the unnamed strings; CR LF ends every line.
        {"drop_d_crlf.txt", "G D A D ", 16, 3, "26e 33s 36s 26s 28s", ""},
        // Lines of different lengths, two-digit frets, a held note and the rest after it.
        {"five_strings.txt", "G D A E B ", 10, 0, "23e 25e 26s 38e 45e. 26e 38e 43q 40e 23h r:s",
         ""},
        {"six_strings.txt", "C G D A E B ", 7, 0, "23s 38,33s 50e 55,50,43q", ""},
        {"forum_post.txt", "G D A E ", 18, 4, "29s 29s 31s 31s 38s 40s 38s 31e 31s", "8:41 text"},
        // "Eb|" beside "G|" is aligned by the bars; a later system's other names are reported.
        {"flats.txt", "F#C#G#D#", 7, 0, "28s 34e 41s 45q 30s 37e 44s",
         "13:1 string, 14:1 string, 15:1 string"},
        {"techniques.txt", "G D A E ", 30, 0,
         "36s 38\\s 38s 36/s 43s 45Hs 43Ps r:s 31e 45e 50e 41e 38+s 40.e 38s 40\\s r:s 45s 31s "
         "50s 48Ps 38+s 50.,45.s 31+s 38e 40e 50,47H,40s 36s 38He",
         "4:24 ghost, 4:28 harmonic, 5:31 tap, 6:18 dead, 6:21 bend, 9:17 mark, 10:14 fret, "
         "15:10 slide, 15:18 hammer-on, 17:26 S"},
        // The seventh of twelve systems is spaced twice as wide: its notes alone are longer.
        {"wide.txt", "G D A E ", 96, 47, "35s 40e 33e 36e 30e 33e 30e 36e 33e 28s", ""},
        {"mixed_sizes.txt", "G D A E ", 5, 0, "28s 35s 31e 31e 38s", "8:2 3, 12:2 5, 18:2 8"},
        {"prose_only.txt", "G D A E ", 0, 0, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const ImportedTab tab = importWebTab(sample(row.file), {});
        const score::Score read = readBack(tab);
        EXPECT_EQ(tuningOf(tab), row.tuning);
        EXPECT_EQ(tab.notes, row.notes);
        EXPECT_EQ(describe(read, row.from, row.columns), row.columns);
        EXPECT_EQ(problemsOf(tab), row.problems);
    }
}

// Six unnamed lines over a header; other line ends, values and widths.
TEST(ImportWebTab, HeadersLineEndsAndOptions)
{
    const std::string four = "|-----|\n|-----|\n|-3-5-|\n|-----|\n";
    const std::string five = "|-----|\n|-----|\n|-----|\n|-3-5-|\n|-----|\n";
    const std::string six = "|-----|\n|-----|\n|-----|\n|-----|\n|-3-5-|\n|-----|\n";
    const struct {
        std::string text;
        char smallest;
        const char* tuning;
        const char* columns;
        const char* problems;
    } rows[] = {
        {"Tuning: Drop D\n" + four, 's', "G D A D ", "36s 38s", ""},
        {"tuning = Eb standard\n" + four, 's', "F#C#G#D#", "35s 37s", ""},
        // Written from the top string down, as the usual tuning shows.
        {"Tuning: G D A D\n" + four, 's', "G D A D ", "36s 38s", ""},
        {"Tuning: BEADG\n" + five, 's', "G D A E B ", "31s 33s", ""},
        {"Tuning: half step down\n" + four, 's', "G D A E ", "36s 38s", "1:1 tuning"},
        // Six strings take a high C above the usual four.
        {six, 's', "C G D A E B ", "31s 33s", ""},
        {"G|-----|\rD|-----|\rA|-3-5-|\rE|-----|\r", 'e', "G D A E ", "36e 38e", ""},
        {"G|------|\r\nD|------|\r\nA|-3-x--|\r\nE|(2)---|\r\n", 'e', "G D A E ", "36,30e r:e",
         "3:6 dead, 4:4 ghost"},
        {"A bass needs four lines:\n|-----|\n|-3-5-|\n|-----|\n\n" + four, 's', "G D A E ",
         "36s 38s", "2:1 3"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WebTabOptions options;
        options.smallest = row.smallest;
        const ImportedTab tab = importWebTab(row.text, options);
        const score::Score read = readBack(tab);
        EXPECT_EQ(tuningOf(tab), row.tuning);
        EXPECT_EQ(describe(read, 0, row.columns), row.columns);
        EXPECT_EQ(problemsOf(tab), row.problems);
    }
}

// Prose right above or below a tab must not join it as a fifth string.
TEST(ImportWebTab, ProseBesideATabIsNoString)
{
    const std::string tab = "G|-------|\nD|-------|\nA|---5---|\nE|-3---3-|\n";
    const char* lines[] = {
        "Am        G       F",
        "  1 + 2 + 3 + 4 +",
        "E-mail me for the rest",
        "---- Verse ----",
        "A - B - C - D",
        "-------------------",
        "(x2)",
        "| G | D | C |",
        "PM-----------|",
        "Tuning: Drop D",
    };
    for (const std::string line : lines) {
        for (const std::string& text : {line + '\n' + tab, tab + line}) {
            const ImportedTab imported = importWebTab(text, {});
            EXPECT_EQ(imported.notes, 3) << text;
            EXPECT_EQ(imported.strings.value(), 4) << text;
            EXPECT_EQ(problemsOf(imported), "") << text;
        }
    }
}

TEST(ImportWebTab, Summary)
{
    const struct {
        int notes;
        std::vector<int> lines;
        const char* summary;
    } rows[] = {
        {0, {}, "No notes imported"},
        {1, {7}, "1 note imported; 1 problem, line 7"},
        {12, {4, 4, 4}, "12 notes imported; 3 problems, line 4"},
        {12, {9, 7}, "12 notes imported; 2 problems, lines 7 to 9"},
    };
    for (const auto& row : rows) {
        ImportedTab tab;
        tab.notes = row.notes;
        for (const int line : row.lines)
            tab.problems.push_back({line, 1, "x"});
        EXPECT_EQ(importSummary(tab), row.summary);
    }
}

// Random notes rendered as a web tab, with names of one and two letters, bar lines and
// chords: each note must come back with its pitch, and with the rests after it, its length.
TEST(ImportWebTab, RandomTabsReadBackNoteForNote)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"G", "G "},  {"d", "D "},  {"A", "A "},  {"E", "E "},  {"B", "B "},  {"C#", "C#"},
        {"F#", "F#"}, {"Eb", "D#"}, {"Db", "C#"}, {"ab", "G#"}, {"Bb", "A#"}, {"f", "F "}};
    std::mt19937 random(20240611);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const instrument::StringCount strings(4 + pick(3));
        const auto count = static_cast<std::size_t>(strings.value());
        const int spacing = 2 + pick(2); // three columns leave room for two digits
        WebTabOptions options;
        options.smallest = "se"[pick(2)];
        // Narrow blocks break chords and rests across blocks too.
        options.tabWidth = 8 + pick(60);
        std::vector<std::pair<const char*, const char*>> names;
        for (std::size_t k = 0; k < count; ++k)
            names.push_back(kNames[pick(12)]);

        std::string text = "Generated\n\n";
        std::vector<std::pair<std::vector<int>, int>> expected; // pitches, ticks
        for (int system = 1 + pick(3); system > 0; --system) {
            std::vector<std::string> rows(count, "|-");
            // The first spacing is the closest, in every system.
            for (int onset = 0, onsets = 2 + pick(7); onset < onsets; ++onset) {
                const int units = onset == 0 ? 1 : 1 + pick(4);
                std::vector<int> frets(count, -1);
                for (int n = 1 + pick(2); n > 0; --n)
                    frets[static_cast<std::size_t>(pick(strings.value()))] =
                        pick(spacing == 3 ? 25 : 10);
                std::vector<int> pitches;
                const bool bar = pick(4) == 0;
                for (std::size_t k = 0; k < count; ++k) {
                    std::string cell = frets[k] < 0 ? "" : std::to_string(frets[k]);
                    cell.resize(static_cast<std::size_t>(units * spacing), '-');
                    rows[k] += cell + (bar ? "|" : "");
                    if (frets[k] >= 0)
                        pitches.push_back(
                            score::openPitch(static_cast<int>(k) + 1, strings, names[k].second) +
                            frets[k]);
                }
                const int sixteenth = score::kTicksPerBeat / 4;
                expected.push_back(
                    {pitches, units * sixteenth * (options.smallest == 'e' ? 2 : 1)});
            }
            for (std::size_t k = 0; k < count; ++k)
                text += names[k].first + rows[k] + "|\n";
            text += "\n";
        }

        const ImportedTab tab = importWebTab(text, options);
        const score::Score read = readBack(tab);
        std::vector<std::pair<std::vector<int>, int>> actual;
        for (const score::Column& c : read.columns) {
            if (c.rest && !actual.empty()) {
                actual.back().second += static_cast<int>(c.length);
                continue;
            }
            std::vector<int> pitches;
            for (const score::Note& n : c.notes)
                pitches.push_back(n.pitch);
            actual.push_back({pitches, static_cast<int>(c.length)});
        }
        ASSERT_EQ(actual, expected) << text;
        EXPECT_TRUE(tab.problems.empty()) << text;
    }
}

} // namespace
} // namespace quorlin::files
