// Tabs as posted on the web: the samples in data/web, small texts, and random tabs rendered to
// text. Whatever is imported must read back as music with no column skipped.

#include "files/WebTabImport.h"
#include "score/Score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace quorlin::files {
namespace {

std::string sample(const std::string& name)
{
    std::ifstream in(std::string(QUORLIN_FILES_DATA) + "/web/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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

// "43s 50,45e. 38He r:q": each column's pitches (a chord's joined by ','), technique marks, "r:"
// for a rest, then its value; as many columns from `from` as `like` shows.
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

// Each text gives its tuning, summary, `columns` from column `from`, and "8:41 text" for each
// problem: its place and first word.
TEST(ImportWebTab, Texts)
{
    const std::string four = "|-----|\n|-----|\n|-3-5-|\n|-----|\n";
    const std::string five = "|-----|\n" + four;
    struct Row {
        std::string text;
        const char* tuning;
        const char* summary;
        std::size_t from;
        const char* columns;
        const char* problems;
    };
    std::vector<Row> rows = {
        {sample("standard.txt"), "G D A E ", "16 notes imported", 0,
         "31s 31s 33e 36e 38e 38e 40s 43e 45e 31s 43s", ""},
        // The header names the unnamed strings; CR LF ends every line.
        {sample("drop_d_crlf.txt"), "G D A D ", "16 notes imported", 3, "26e 33s 36s 26s 28s", ""},
        // Lines of different lengths, two-digit frets, a held note and the rest after it.
        {sample("five_strings.txt"), "G D A E B ", "10 notes imported", 0,
         "23e 25e 26s 38e 45e. 26e 38e 43q 40e 23h r:s", ""},
        {sample("six_strings.txt"), "C G D A E B ", "7 notes imported", 0,
         "23s 38,33s 50e 55,50,43q", ""},
        {sample("forum_post.txt"), "G D A E ", "18 notes imported; 1 problem, line 8", 4,
         "29s 29s 31s 31s 38s 40s 38s 31e 31s", "8:41 text"},
        // "Eb|" beside "G|" is aligned by the bars; a later system's other names are reported.
        {sample("flats.txt"), "F#C#G#D#", "7 notes imported; 3 problems, lines 13 to 15", 0,
         "28s 34e 41s 45q 30s 37e 44s", "13:1 string, 14:1 string, 15:1 string"},
        {sample("techniques.txt"), "G D A E ", "30 notes imported; 10 problems, lines 4 to 17", 0,
         "36s 38\\s 38s 36/s 43s 45Hs 43Ps r:s 31e 45e 50e 41e 38+s 40.e 38s 40\\s r:s 45s 31s "
         "50s 48Ps 38+s 50.,45.s 31+s 38e 40e 50,47H,40s 36s 38He",
         "4:24 ghost, 4:28 harmonic, 5:31 tap, 6:18 dead, 6:21 bend, 9:17 mark, 10:14 fret, "
         "15:10 slide, 15:18 hammer-on, 17:26 S"},
        // The seventh of twelve systems is spaced twice as wide: its notes alone are longer.
        {sample("wide.txt"), "G D A E ", "96 notes imported", 47,
         "35s 40e 33e 36e 30e 33e 30e 36e 33e 28s", ""},
        {sample("mixed_sizes.txt"), "G D A E ", "5 notes imported; 3 problems, lines 8 to 18", 0,
         "28s 35s 31e 31e 38s", "8:2 3, 12:2 5, 18:2 8"},
        {sample("prose_only.txt"), "G D A E ", "No notes imported", 0, "", ""},
        {"Tuning: Drop D\n" + four, "G D A D ", "2 notes imported", 0, "36s 38s", ""},
        {"tuning = Eb standard\n" + four, "F#C#G#D#", "2 notes imported", 0, "35s 37s", ""},
        // Written from the top string down, as the usual tuning shows.
        {"Tuning: G D A D\n" + four, "G D A D ", "2 notes imported", 0, "36s 38s", ""},
        {"Tuning: BEADG\n" + five, "G D A E B ", "2 notes imported", 0, "31s 33s", ""},
        {"Tuning: half step down\n" + four, "G D A E ", "2 notes imported; 1 problem, line 1", 0,
         "36s 38s", "1:1 tuning"},
        // Six unnamed lines take a high C above the usual four.
        {"|-----|\n" + five, "C G D A E B ", "2 notes imported", 0, "31s 33s", ""},
        {"G|-----|\rD|-----|\rA|-3-5-|\rE|-----|\r", "G D A E ", "2 notes imported", 0, "36s 38s",
         ""},
        {"G|------|\r\nD|------|\r\nA|-3-x--|\r\nE|(2)---|\r\n", "G D A E ",
         "2 notes imported; 2 problems, lines 3 to 4", 0, "36,30s r:s", "3:6 dead, 4:4 ghost"},
        {"A bass needs four lines:\n|-----|\n|-3-5-|\n|-----|\n\n" + four, "G D A E ",
         "2 notes imported; 1 problem, line 2", 0, "36s 38s", "2:1 3"},
        // Two problems on one line, one note.
        {"G|--------|\nD|--------|\nA|-3-x-x-|\nE|--------|\n", "G D A E ",
         "1 note imported; 2 problems, line 3", 0, "36s r:s r:s", "3:6 dead, 3:8 dead"},
    };
    // Prose right above or below a tab must not join it as a fifth string.
    const std::string small = "G|-------|\nD|-------|\nA|---5---|\nE|-3---3-|\n";
    for (const std::string line :
         {"Am        G       F", "  1 + 2 + 3 + 4 +", "E-mail me for the rest", "---- Verse ----",
          "A - B - C - D", "-------------------", "(x2)", "| G | D | C |", "PM-----------|",
          "Tuning: Drop D"}) {
        for (const std::string& text : {line + '\n' + small, small + line})
            rows.push_back({text, "G D A E ", "3 notes imported", 0, "31s 38s 31s", ""});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 80));
        const ImportedTab tab = importWebTab(row.text, {});
        const score::Score read = readBack(tab);
        std::string names, places;
        for (int k = 1; k <= tab.strings.value(); ++k)
            names += tab.tuning.at(k);
        for (const WebTabProblem& p : tab.problems)
            places += (places.empty() ? "" : ", ") + std::to_string(p.line) + ':' +
                      std::to_string(p.column) + ' ' + p.what.substr(0, p.what.find(' '));
        EXPECT_EQ(names, row.tuning);
        EXPECT_EQ(importSummary(tab), row.summary);
        EXPECT_EQ(describe(read, row.from, row.columns), row.columns);
        EXPECT_EQ(places, row.problems);
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
                expected.push_back(
                    {pitches, units * score::kTicksPerBeat / (options.smallest == 'e' ? 2 : 4)});
            }
            for (std::size_t k = 0; k < count; ++k)
                text += names[k].first + rows[k] + "|\n";
            text += "\n";
        }

        const ImportedTab tab = importWebTab(text, options);
        const score::Score read = readBack(tab);
        std::vector<std::pair<std::vector<int>, int>> actual;
        for (const score::Column& c : read.columns) {
            if (!c.rest || actual.empty())
                actual.push_back({{}, 0});
            for (const score::Note& n : c.notes)
                actual.back().first.push_back(n.pitch);
            actual.back().second += static_cast<int>(c.length);
        }
        ASSERT_EQ(actual, expected) << text;
        EXPECT_TRUE(tab.problems.empty()) << text;
    }
}

} // namespace
} // namespace quorlin::files
