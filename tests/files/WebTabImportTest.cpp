// Tabs as posted on the web: the samples in data/web, small texts, and random tabs rendered to
// text. Whatever is imported must read back as music with no column skipped.

#include "files/WebTabImport.h"
#include "engine/Columns.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "score/Score.h"
#include "tests/engine/TypedSteps.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace quorlin::files {
namespace {

std::string sample(const std::string& name)
{
    return testing::slurp(std::string(QUORLIN_FILES_DATA) + "/web/" + name);
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
        out += std::string(1, c.symbol) + (c.dotted ? "." : "") + (c.triplet ? "3" : "");
    }
    return out;
}

using testing::utf16Bytes;

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
        // "||: :||" plays the first bar twice; the "x2" after the second bar could mean it or
        // the whole line, so it is listed and played once. "|* *|" repeats the second system.
        {sample("forum_post.txt"), "G D A E ", "30 notes imported; 1 problem, line 8", 4,
         "29s 29s 29s 29s 36s 38s 29s 29s 31s", "8:41 repeat"},
        // "Eb|" beside "G|" is aligned by the bars; a later system's other names are reported.
        {sample("flats.txt"), "F#C#G#D#", "7 notes imported; 3 problems, lines 13 to 15", 0,
         "28s 34e 41s 45q 30s 37e 44s", "13:1 string, 14:1 string, 15:1 string"},
        {sample("techniques.txt"), "G D A E ", "30 notes imported; 11 problems, lines 4 to 17", 0,
         "36s 38\\s 38s 36/s 43s 45Hs 43Ps r:s 31e 45e 50e 41e 38+s 40.e 38s 40\\s r:s 45s 31s "
         "50s 48Ps 38+s 50.,45.s 31+s 38e 40e 50,47H,40s 36s 38He",
         "4:24 ghost, 4:28 harmonic, 5:31 tap, 6:18 dead, 6:21 bend, 9:17 mark, 10:14 fret, "
         "11:19 vibrato, 15:10 slide, 15:18 hammer-on, 17:26 S"},
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
    const std::string tab = "G|-------|\nD|-------|\nA|-3---5-|\nE|-------|\n";
    rows.insert(
        rows.end(),
        {
            // Slap and pop letters above the top string or below the lowest.
            {"   T   P\n" + tab, "G D A E ", "2 notes imported", 0, "36+s 38.s", ""},
            {tab + "   S   P\n", "G D A E ", "2 notes imported", 0, "36+s 38.s", ""},
            // Repeats after the last bar, as a stretch of their own, and from a "|:" sign.
            {"G|-------|\nD|-------|\nA|-3---5-| x3\nE|-------|\n", "G D A E ", "6 notes imported",
             0, "36s 38s 36s 38s 36s 38s", ""},
            {"G|-------|--------|\nD|-------|--------|\nA|-3---5-|-- x3 --|\nE|-------|--------|\n",
             "G D A E ", "6 notes imported", 0, "36s 38s 36s 38s 36s 38s", ""},
            {"G|---|:-------:|\nD|---|:-------:|\nA|-3-|:-5---7-:|\nE|---|:-------:|  play 2x\n",
             "G D A E ", "5 notes imported", 0, "36s 38s 40s 38s 40s", ""},
            {"G|---|:-------:|\nD|---|:-------:|\nA|-3-|:-5---7-:|\nE|---|:-------:|\n", "G D A E ",
             "5 notes imported", 0, "36s 38s 40s 38s 40s", ""},
            {"G|*-----*|\nD|*-----*|\nA|*-3-5-*|\nE|*-----*|\n", "G D A E ", "4 notes imported", 0,
             "36s 38s 36s 38s", ""},
            // A "|:" that nothing ends is listed once, not once a line.
            {"G|-----|:-----|\nD|-----|:-----|\nA|-3---|:-5---|\nE|-----|:-----|\n", "G D A E ",
             "2 notes imported; 1 problem, line 1", 0, "36s 38s", "1:8 repeat"},
            // The first mark repeats from the start; a second one with no "|:" is listed.
            {"G|-----|------|-----|------|\nD|-----|------|-----|------|\n"
             "A|-3---|--x2--|-5---|--x2--|\nE|-----|------|-----|------|\n",
             "G D A E ", "3 notes imported; 1 problem, line 3", 0, "36s 36s 38s", "3:24 repeat"},
            // A dense legato line is a string like any other.
            {"G|---------------|\nD|---------------|\nA|---------------|\n"
             "E|---------------|\nB|-0h2p0h2p0h2p0-|\n",
             "G D A E B ", "7 notes imported", 0, "23s 25Hs 23Ps 25Hs 23Ps 25Hs 23Ps", ""},
            {"e|-0h2p0h2p0--|\nB|------------|\nG|------------|\nD|------------|\nA|------------|\n"
             "E|------------|\n",
             "E B G D A E ", "5 notes imported", 0, "52s 54Hs 52Ps 54Hs 52Ps", ""},
            // A string line holding what no tab writes is named, not its neighbours.
            {"G|--5--7--|\nD|---------|\nA|---------|\nE|---------|\nB|--5-##-7-|\n", "G D A E ",
             "2 notes imported; 1 problem, line 5", 0, "48s 50s", "5:7 \"##\""},
            // A web tab under a line of note values is still a web tab.
            {"|  q   q\nG|-3---5-\nD|-------\nA|-------\nE|-------\n    \n", "G D A E ",
             "2 notes imported", 0, "46s 48s", ""},
            // A block of rests alone sounds nothing.
            {"|   q\nG ---\nD ---\nA ---\nE ---\n>   r\n", "G D A E ", "No notes imported", 0, "",
             ""},
            // Long dashes and box-drawing bars are read as "-" and "|", and said once.
            {"G|\u2013\u2013\u2013\u2013\u2013\u2013\u2013|\nD|\u2014\u2014\u2014\u2014\u2014"
             "\u2014\u2014|\nA|-3---5-|\nE|-------|\n",
             "G D A E ", "2 notes imported; 1 problem, line 1", 0, "36s 38s", "1:3 long"},
            {"G\u2502\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2502\nD\u2502\u2500\u2500\u2500"
             "\u2500\u2500\u2500\u2500\u2502\nA\u2502\u25003\u2500\u2500\u25005\u2500\u2502\n"
             "E\u2502\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2502\n",
             "G D A E ", "2 notes imported; 1 problem, line 1", 0, "36s 38s", "1:2 long"},
            // A place after long dashes is counted in the bytes the text has.
            {"G|-------|\nD|-------|\nA|\u2013\u20133\u2013\u2013x\u2013|\nE|-------|\n",
             "G D A E ", "1 note imported; 2 problems, line 3", 0, "36s r:s",
             "3:3 long, 3:16 dead"},
            // UTF-16 (its byte orders and marks are Utf16ToUtf8's table): read, and said.
            {utf16Bytes(tab, false, true), "G D A E ", "2 notes imported; 1 problem, line 1", 0,
             "36s 38s", "1:1 the"},
        });
    // Prose right above or below a tab must not join it as a fifth string.
    const std::string small = "G|-------|\nD|-------|\nA|---5---|\nE|-3---3-|\n";
    for (const std::string line :
         {"Am        G       F", "  1 + 2 + 3 + 4 +", "E-mail me for the rest", "---- Verse ----",
          "A - B - C - D", "-------------------", "| G | D | C |", "PM-----------|",
          "Tuning: Drop D"}) {
        for (const std::string& text : {line + '\n' + small, small + line})
            rows.push_back({text, "G D A E ", "3 notes imported", 0, "31s 38s 31s", ""});
    }
    // A repeat below a tab plays it again; above it, it could belong to the tab before.
    rows.push_back({small + "(x2)", "G D A E ", "6 notes imported", 0, "31s 38s 31s 31s", ""});
    rows.push_back({"(x2)\n" + small, "G D A E ", "3 notes imported; 1 problem, line 1", 0,
                    "31s 38s 31s", "1:1 repeat"});
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

std::vector<std::string> written(int strings, int width, const char* steps)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    staff.setStringCount(strings);
    staff.setTabWidth(width);
    EXPECT_TRUE(engine::testing::type(staff, steps)) << steps;
    return text.lines();
}

std::string joined(const std::vector<std::string>& lines, std::string_view end)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + std::string(end);
    return out;
}

// The columns as music: what a tab written again elsewhere must keep.
std::vector<
    std::tuple<std::int64_t, std::int64_t, char, bool, bool, bool, std::vector<score::Note>>>
music(const score::Score& read)
{
    std::vector<
        std::tuple<std::int64_t, std::int64_t, char, bool, bool, bool, std::vector<score::Note>>>
        out;
    for (const score::Column& c : read.columns)
        out.emplace_back(c.start, c.length, c.symbol, c.dotted, c.triplet, c.rest, c.notes);
    return out;
}

// A column of a block in this program's own shape with nothing on its strings is silence, said
// or not: it comes in as a rest the editor can take, and nothing else of the tab moves.
TEST(ImportWebTab, ASilentColumnOfAnOwnBlockComesInAsARest)
{
    const ImportedTab tab = importWebTab("|   q  e  q\n"
                                         "G ---------\n"
                                         "D --5-----7\n"
                                         "A ---------\n"
                                         "E ---------\n"
                                         ">          \n",
                                         {});
    ASSERT_EQ(tab.lines.size(), 6u);
    EXPECT_EQ(tab.lines.back(), ">      r   ");
    engine::VectorTabText text(tab.lines);
    engine::EditingState state;
    state.stringCount = tab.strings;
    state.tuning = tab.tuning;
    const std::vector<engine::Column> columns = engine::readColumns(text, state);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_TRUE(columns[1].rest());
    EXPECT_EQ(columns[2].notes, (std::vector<engine::ColumnNote>{{2, 7}}));
}

// A tab this program wrote, copied to the clipboard or saved, comes back with the durations,
// techniques, rests and triplets it had, however it travelled.
TEST(ImportWebTab, OwnTabsComeBackAsWritten)
{
    struct Row {
        const char* name;
        int strings;
        int width;
        const char* steps;
        const char* columns; // as `describe` gives them, from the rules
        // Saved with the tab; the import takes it from the file's header.
        model::TimeSignature time = {};
    };
    const std::vector<Row> rows = {
        {"hammer-on, slides, slap, pop and rests", 4, 80,
         "q3:0 eH3:3 eS3:5 eS3:3 rq q+2:7 e.O1:5 sP1:3 rh.",
         "33q 36He 38\\e 36/e r:q 45+q 48.e. 46Ps r:h."},
        {"a rest first, a triplet and a chord over two blocks", 5, 20,
         "re eT2:5 q+5:0 qC3:2 | w.4:12 hS4:14", "r:e 43e3 43e3 43e3 35+,23+q 40w. 42\\h",
         model::TimeSignature(7, 8)},
        {"six strings, two-digit frets, a pop chord and a block starting with a pull-off", 6, 30,
         "s1:10 sO6:24 sC1:22 q.T6:3 eH6:5 | eP2:7", "58s 70.,47.s 26q.3 26q.3 26q.3 28He 50Pe",
         model::TimeSignature(12, 8)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> lines = written(row.strings, row.width, row.steps);
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        instrument::Tuning tuning;
        if (row.strings == 6)
            tuning.followStringCount(4, 6);
        const score::Score original =
            score::readScore(views, instrument::StringCount(row.strings), tuning, 100);
        ASSERT_EQ(describe(original, 0, row.columns), row.columns);

        engine::EditingState state;
        state.stringCount = instrument::StringCount(row.strings);
        state.tuning = tuning;
        state.time = row.time;
        std::string stripped;
        for (const std::string& line : lines)
            stripped += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
        const std::string saved = tabFileText(views, state, SongHeader());
        const std::vector<std::pair<const char*, std::string>> texts = {
            {"copied", joined(lines, "\n")},
            {"CR LF", joined(lines, "\r\n")},
            {"blanks stripped", stripped},
            {"saved", saved},
            {"saved as UTF-16", utf16Bytes(saved, false, true)},
        };
        for (const auto& [how, text] : texts) {
            SCOPED_TRACE(how);
            EXPECT_TRUE(hasRhythmLines(text));
            // The spacing asked for a web tab must change nothing here.
            for (const char smallest : {'s', 'e'}) {
                WebTabOptions options;
                options.smallest = smallest;
                const ImportedTab tab = importWebTab(text, options);
                EXPECT_EQ(tab.strings.value(), row.strings);
                const score::Score read = readBack(tab);
                EXPECT_EQ(music(read), music(original));
                const bool wide = std::string_view(how) == "saved as UTF-16";
                EXPECT_EQ(tab.problems.size(), wide ? 1U : 0U);
                const bool file = wide || std::string_view(how) == "saved";
                EXPECT_EQ(tab.time.value_or(model::TimeSignature()),
                          file ? row.time : model::TimeSignature());
            }
        }
    }
}

// An import that brings no note says what it found and why nothing came of it.
TEST(ImportWebTab, SaysWhyNoNoteCameIn)
{
    const std::pair<std::string, std::string> rows[] = {
        {"", "holds no tab lines: a string line looks like G|--5--7--|"},
        {"Just words about the song.\n",
         "holds no tab lines: a string line looks like G|--5--7--|"},
        {"G|-----|\nD|-----|\nA|--25-|\nE|-----|\n",
         "holds 4 string lines, but no note came in: line 3, column 5: fret 25 is past the neck: "
         "not played"},
        {"G|-----|\nD|-x---|\nA|---x-|\nE|-----|\n",
         "holds 4 string lines, but no note came in: line 2, column 4: dead note: not played "
         "(and 1 more)"},
        {"G|--5--|\nD|-----|\nA|-----|\n",
         "holds 3 string lines, but no note came in: line 1, column 2: 3 string lines, but a bass "
         "has 4, 5 or 6 strings: left out"},
        {std::string(kLargestWebTab + 1, '-'),
         "is longer than 2 MB, far more than a tab: not read"},
    };
    for (const auto& [text, why] : rows) {
        const ImportedTab tab = importWebTab(text, {});
        EXPECT_EQ(tab.notes, 0);
        EXPECT_EQ(whyNoNotes(tab), why) << text.substr(0, 40);
    }
}

} // namespace
} // namespace quorlin::files
