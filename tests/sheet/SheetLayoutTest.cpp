// The printed page: notes on their strings at their columns, bar lines where the beats add
// up, beams inside a beat, the techniques' marks, splits and ties, pages broken between
// systems, and no two marks on top of each other unless one is drawn over the other on
// purpose. Expected values come from the tab and the rules of tab with rhythm.

#include "sheet/SheetLayout.h"
#include "tests/sheet/Tabs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace quorlin::sheet {
namespace {

using test::Col;
using test::notes;

bool near(float a, float b)
{
    return std::abs(a - b) < 0.01f;
}

float centreX(const Mark& m)
{
    return m.box.x + m.box.width / 2;
}
float centreY(const Mark& m)
{
    return m.box.y + m.box.height / 2;
}

SheetInput inputFor(int strings, TimeSignature time = {})
{
    SheetInput input;
    input.title = "Low Road";
    input.artist = "The Fretless";
    input.tabBy = "Ann";
    input.bassPerformer = "Bo";
    input.tempo = 132;
    input.tuning = test::tuningFor(strings);
    input.time = time;
    return input;
}

struct Laid {
    score::Score score;
    Sheet sheet;
};

Laid lay(int strings, const std::vector<std::string>& lines, TimeSignature time = {},
         Paper paper = Paper::A4)
{
    Laid laid{test::read(strings, lines), {}};
    SheetInput input = inputFor(strings, time);
    input.paper = paper;
    laid.sheet = layoutSheet(laid.score, input);
    return laid;
}

Laid lay(int strings, const std::vector<Col>& cols, TimeSignature time = {})
{
    return lay(strings, test::block(strings, cols), time);
}

// The same columns over and over, a block of them per line of the tab.
std::vector<std::string> repeated(int strings, const std::vector<Col>& cols, int blocks)
{
    std::vector<std::string> lines;
    for (int b = 0; b < blocks; ++b) {
        const std::vector<std::string> one = test::block(strings, cols);
        lines.insert(lines.end(), one.begin(), one.end());
        lines.emplace_back();
    }
    return lines;
}

std::vector<const Mark*> marksOf(const Page& page, MarkKind kind, FontRole role = FontRole::None)
{
    std::vector<const Mark*> found;
    for (const Mark& m : page.marks) {
        if (m.kind == kind && (role == FontRole::None || m.role == role))
            found.push_back(&m);
    }
    return found;
}

// The marks drawn over others on purpose: a fret number or clef letter knocks out its
// string line, bar lines and slides cross the lines, beams and flags hang on stems.
bool overlapByDesign(const Mark& a, const Mark& b)
{
    const auto pair = [&](MarkKind x, MarkKind y) {
        return (a.kind == x && b.kind == y) || (a.kind == y && b.kind == x);
    };
    if (pair(MarkKind::StaffLine, MarkKind::Text))
        return (a.kind == MarkKind::Text ? a : b).knockout;
    // Ties, slurs and slides may reach over a bar line to their note.
    return pair(MarkKind::StaffLine, MarkKind::BarLine) ||
           pair(MarkKind::StaffLine, MarkKind::Slide) || pair(MarkKind::Stem, MarkKind::Beam) ||
           pair(MarkKind::Stem, MarkKind::Flag) || pair(MarkKind::BarLine, MarkKind::Tie) ||
           pair(MarkKind::BarLine, MarkKind::Slur) || pair(MarkKind::BarLine, MarkKind::Slide);
}

void expectNoOverlap(const Sheet& sheet, const std::string& what)
{
    for (std::size_t p = 0; p < sheet.pages.size(); ++p) {
        const std::vector<Mark>& marks = sheet.pages[p].marks;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const Mark& a = marks[i];
            EXPECT_TRUE(a.box.x >= 0 && a.box.y >= 0 && a.box.right() <= sheet.size.width &&
                        a.box.bottom() <= sheet.size.height)
                << what << ": a mark off page " << p + 1;
            for (std::size_t j = i + 1; j < marks.size(); ++j) {
                const Mark& b = marks[j];
                if (a.box.overlaps(b.box) && !overlapByDesign(a, b))
                    ADD_FAILURE() << what << ": marks " << static_cast<int>(a.kind) << " '"
                                  << sheet.pages[p].textOf(a) << "' and "
                                  << static_cast<int>(b.kind) << " '" << sheet.pages[p].textOf(b)
                                  << "' overlap on page " << p + 1 << " at " << a.box.x << ','
                                  << a.box.y;
            }
        }
    }
}

// The line spacing of a system's staff, from its rectangle.
float gapOf(const SystemPlace& system, int strings)
{
    return system.staff.height / static_cast<float>(strings - 1);
}

const Mark* textAt(const Page& page, FontRole role, float x, float y)
{
    for (const Mark* m : marksOf(page, MarkKind::Text, role)) {
        if (near(centreX(*m), x) && near(centreY(*m), y))
            return m;
    }
    return nullptr;
}

std::int64_t barLength(TimeSignature t)
{
    return std::int64_t{t.beats} * 4 * score::kTicksPerBeat / t.beatType;
}

TEST(SheetLayout, NotesOnTheirStringsAtTheirColumnsWithTheTuningInFront)
{
    const std::vector<Col> chords = {
        {"  q", {{1, "--0"}, {2, "--2"}, {3, "--2"}}},
        {"  e", {{4, "-12"}}},
        {"  e", {{2, "--3"}, {4, "-24"}}},
        {"  h", {{1, "--7"}, {2, "--7"}, {3, "--9"}, {4, "--9"}}},
    };
    std::vector<Col> five = chords;
    five.push_back({"  w", {{5, "--1"}, {1, "--5"}, {3, "--3"}}});
    std::vector<Col> six = five;
    six.push_back(
        {"  q", {{6, "--3"}, {5, "-10"}, {4, "--4"}, {3, "--2"}, {2, "--2"}, {1, "--1"}}});
    // The names down the first system's lines, and the tuning as it is said.
    const std::tuple<int, std::vector<Col>, const char*, const char*> rows[] = {
        {4, chords, "G D A E", "E A D G"},
        {5, five, "G D A E B", "B E A D G"},
        {6, six, "C G D A E B", "B E A D G C"},
    };
    for (const auto& [strings, cols, down, said] : rows) {
        const Laid laid = lay(strings, cols);
        const Sheet& sheet = laid.sheet;
        expectNoOverlap(sheet, std::to_string(strings) + " strings");
        ASSERT_EQ(sheet.systems.size(), 1u);
        const SystemPlace& system = sheet.systems[0];
        const Page& page = sheet.pages[0];
        EXPECT_EQ(marksOf(page, MarkKind::StaffLine).size(), static_cast<std::size_t>(strings));
        std::size_t notesSeen = 0;
        for (std::size_t c = 0; c < laid.score.columns.size(); ++c) {
            const ColumnPlace place = sheet.columns[c];
            for (const score::Note& n : laid.score.columns[c].notes) {
                const float y =
                    system.staff.y + static_cast<float>(n.string - 1) * gapOf(system, strings);
                const Mark* fret = textAt(page, FontRole::Fret, place.x, y);
                ASSERT_NE(fret, nullptr) << strings << " strings, column " << c;
                EXPECT_EQ(page.textOf(*fret), std::to_string(n.fret));
                EXPECT_TRUE(fret->knockout);
                ++notesSeen;
            }
        }
        EXPECT_EQ(marksOf(page, MarkKind::Text, FontRole::Fret).size(), notesSeen);
        // A chord is one column: one stem per column that is not a whole note.
        EXPECT_EQ(marksOf(page, MarkKind::Stem).size(), cols.size() - (strings >= 5 ? 1 : 0));

        std::vector<const Mark*> names = marksOf(page, MarkKind::Text, FontRole::StringName);
        std::ranges::sort(names, {}, [](const Mark* m) { return m->box.y; });
        std::string read;
        for (const Mark* m : names)
            read += (read.empty() ? "" : " ") + std::string(page.textOf(*m));
        EXPECT_EQ(read, down);
        EXPECT_EQ(tuningText(test::tuningFor(strings), strings), said);
        const auto credits = marksOf(page, MarkKind::Text, FontRole::Credit);
        EXPECT_TRUE(std::ranges::any_of(credits, [&](const Mark* m) {
            return page.textOf(*m) == "Tuning: " + std::string(said);
        }));
    }
}

TEST(SheetLayout, BarLinesFallWhereTheBeatsAddUp)
{
    const std::tuple<std::vector<std::string>, TimeSignature> rows[] = {
        {{"  q", "  q", "  h", "  e", "  e", "  q", "  h", "  w", "  q"}, {4, 4}},
        {{"  q", "  q", "  q", "  h", "  q", " q.", "  e", "  q"}, {3, 4}},
        {{"  e", "  e", "  e", " q.", "  q", "  e", "  s", "  s", "  e"}, {6, 8}},
        {{"  h", "  h", "  w", "  q", "  q"}, {2, 2}},
        {{"  e", "  e", "  e", "  e", "  e", "  q", "  e"}, {5, 8}},
    };
    for (const auto& [rhythms, time] : rows) {
        // Enough blocks for several systems, so bars are counted across them.
        const Laid laid = lay(4, repeated(4, notes(rhythms), 12), time);
        const Sheet& sheet = laid.sheet;
        const std::string what = std::to_string(time.beats) + "/" + std::to_string(time.beatType);
        expectNoOverlap(sheet, what);
        EXPECT_GT(sheet.systems.size(), 1u) << what;
        std::vector<std::size_t> barLines(sheet.systems.size());
        for (std::size_t s = 0; s < sheet.systems.size(); ++s) {
            const SystemPlace& system = sheet.systems[s];
            for (const Mark* m :
                 marksOf(sheet.pages[static_cast<std::size_t>(system.page)], MarkKind::BarLine)) {
                if (near(m->from.y, system.staff.y))
                    ++barLines[s];
            }
        }
        for (std::size_t c = 0; c < laid.score.columns.size(); ++c) {
            const ColumnPlace place = sheet.columns[c];
            const SystemPlace& system = sheet.systems[static_cast<std::size_t>(place.system)];
            std::size_t before = 0;
            for (const Mark* m :
                 marksOf(sheet.pages[static_cast<std::size_t>(place.page)], MarkKind::BarLine)) {
                if (near(m->from.y, system.staff.y) && m->from.x < place.x)
                    ++before;
            }
            // The line that opens the system is no bar line between bars.
            const auto bar = static_cast<std::int64_t>(system.firstBar + before - 1);
            EXPECT_EQ(bar, laid.score.columns[c].start / barLength(time)) << what << " " << c;
        }
        // Every system closes its bars: the opening line and one per bar.
        for (std::size_t s = 0; s < sheet.systems.size(); ++s)
            EXPECT_EQ(barLines[s], sheet.systems[s].barCount + 1) << what;
        const std::int64_t total = laid.score.length;
        const auto bars = static_cast<std::size_t>((total + barLength(time) - 1) / barLength(time));
        const SystemPlace& last = sheet.systems.back();
        EXPECT_EQ(last.firstBar + last.barCount, bars) << what;
    }
}

TEST(SheetLayout, BeamsStayInsideOneBeat)
{
    // The beat, and the beams joining two stems at each level.
    const std::tuple<const char*, std::vector<std::string>, TimeSignature, std::int64_t,
                     std::vector<int>>
        rows[] = {
            {"eighths in 4/4", std::vector<std::string>(8, "  e"), {4, 4}, 480, {4}},
            {"eighths in 6/8", std::vector<std::string>(12, "  e"), {6, 8}, 720, {8}},
            {"sixteenths", {"  s", "  s", "  s", "  s", "  h."}, {4, 4}, 480, {3, 3}},
            {"eighth and two sixteenths", {"  e", "  s", "  s", "  h."}, {4, 4}, 480, {2, 1}},
            {"dotted eighth, sixteenth", {" e.", "  s", " e.", "  s", "  h"}, {4, 4}, 480, {2, 0}},
            {"syncopated", {"  s", " e.", "  s", "  s", "  e", "  h"}, {4, 4}, 480, {3, 1}},
            {"an eighth over the beat stands alone",
             {"  s", "  e", "  e", "  s", "  e", "  h"},
             {4, 4},
             480,
             {2}},
            {"pairs, then two sixteenths and an eighth",
             {"  e", "  e", "  e", "  e", "  s", "  s", "  e", "  h"},
             {4, 4},
             480,
             {4, 1}},
        };
    for (const auto& [what, rhythms, time, beat, perLevel] : rows) {
        const Laid laid = lay(4, notes(rhythms), time);
        expectNoOverlap(laid.sheet, what);
        const Page& page = laid.sheet.pages[0];
        std::map<float, std::int64_t> startAt; // by stem x
        for (std::size_t c = 0; c < laid.score.columns.size(); ++c)
            startAt[laid.sheet.columns[c].x] = laid.score.columns[c].start;
        std::vector<int> counted(perLevel.size());
        for (const Mark* beam : marksOf(page, MarkKind::Beam)) {
            const auto from = startAt.find(beam->from.x);
            const auto to = startAt.find(beam->to.x);
            if (from == startAt.end() || to == startAt.end())
                continue; // a short beam on one stem
            ASSERT_LE(beam->value, counted.size()) << what;
            ++counted[beam->value - 1u];
            EXPECT_EQ(from->second / beat, to->second / beat) << what;
        }
        EXPECT_EQ(counted, perLevel) << what;
    }
}

TEST(SheetLayout, EveryValueItsStemFlagDotOrRest)
{
    enum Stem { None, Closed, Open };
    const Col quarter{"  q", {{1, "--5"}}};
    // Columns that fill a bar: the stem, flag level (-1 none), dots and rest level (-1 none)
    // of the page. A rest short of the bar shares it with a quarter note.
    const std::tuple<const char*, std::vector<Col>, TimeSignature, Stem, int, int, int> rows[] = {
        {"whole", {{"  w", {{1, "--5"}}}}, {4, 4}, None, -1, 0, -1},
        {"half", {{"  h", {{1, "--5"}}}}, {2, 4}, Open, -1, 0, -1},
        {"quarter", {quarter}, {1, 4}, Closed, -1, 0, -1},
        {"eighth", {{"  e", {{1, "--5"}}}}, {1, 8}, Closed, 3, 0, -1},
        {"sixteenth", {{"  s", {{1, "--5"}}}}, {1, 16}, Closed, 4, 0, -1},
        {"dotted half", {{" h.", {{1, "--5"}}}}, {3, 4}, Open, -1, 1, -1},
        {"dotted quarter", {{" q.", {{1, "--5"}}}}, {3, 8}, Closed, -1, 1, -1},
        {"dotted eighth", {{" e.", {{1, "--5"}}}}, {3, 16}, Closed, 3, 1, -1},
        {"dotted sixteenth", {{" s.", {{1, "--5"}}}}, {3, 32}, Closed, 4, 1, -1},
        {"a bar of rest", {{"  w", {}, 'r'}}, {4, 4}, None, -1, 0, 0},
        {"a bar of dotted half rest", {{" h.", {}, 'r'}}, {3, 4}, None, -1, 0, 0},
        {"half rest", {{"  h", {}, 'r'}, quarter}, {3, 4}, Closed, -1, 0, 1},
        {"quarter rest", {{"  q", {}, 'r'}, quarter}, {2, 4}, Closed, -1, 0, 2},
        {"dotted eighth rest", {{" e.", {}, 'r'}, quarter}, {7, 16}, Closed, -1, 1, 3},
        {"sixteenth rest", {{"  s", {}, 'r'}, quarter}, {5, 16}, Closed, -1, 0, 4},
    };
    const auto stemLength = [](const Mark& m) { return m.to.y - m.from.y; };
    const float quarterStem =
        stemLength(*marksOf(lay(4, notes({"  q"})).sheet.pages[0], MarkKind::Stem).at(0));
    for (const auto& [what, cols, time, stem, flag, dots, rest] : rows) {
        const Laid laid = lay(4, cols, time);
        expectNoOverlap(laid.sheet, what);
        const Page& page = laid.sheet.pages[0];
        const auto stems = marksOf(page, MarkKind::Stem);
        ASSERT_EQ(stems.size(), stem == None ? 0u : 1u) << what;
        if (stem != None) {
            EXPECT_EQ(stems[0]->value, stem == Open ? 1 : 0) << what;
            // An open stem is told from a closed one by its length too.
            EXPECT_EQ(stemLength(*stems[0]) < quarterStem * 0.75f, stem == Open) << what;
        }
        const auto flags = marksOf(page, MarkKind::Flag);
        ASSERT_EQ(flags.size(), flag < 0 ? 0u : 1u) << what;
        if (flag >= 0) {
            EXPECT_EQ(flags[0]->value, flag) << what;
        }
        EXPECT_EQ(marksOf(page, MarkKind::Dot).size(), static_cast<std::size_t>(dots)) << what;
        const auto rests = marksOf(page, MarkKind::Rest);
        ASSERT_EQ(rests.size(), rest < 0 ? 0u : 1u) << what;
        if (rest < 0)
            continue;
        EXPECT_EQ(rests[0]->value, rest) << what;
        EXPECT_TRUE(near(centreX(*rests[0]), laid.sheet.columns[0].x)) << what;
        // A bar's rest stands in its middle, between the time signature and the bar line.
        const float signature =
            marksOf(page, MarkKind::Text, FontRole::TimeSignature)[0]->box.right();
        const float end = marksOf(page, MarkKind::BarLine).back()->box.x;
        const float middle = (signature + end) / 2;
        EXPECT_EQ(std::abs(centreX(*rests[0]) - middle) < 4, cols.size() == 1) << what;
    }
}

TEST(SheetLayout, TripletsUnderABeamOrABracket)
{
    const auto triplet = [](const char* symbol) {
        return std::vector<Col>{
            {symbol, {{1, "--5"}}}, {symbol, {{1, "~~5"}}}, {symbol, {{1, "~~7"}}}};
    };
    // The 3s and the halves of brackets.
    const std::tuple<const char*, std::vector<Col>, std::size_t, std::size_t> rows[] = {
        {"eighths", triplet("  e"), 1, 0},
        {"quarters", triplet("  q"), 1, 2},
        {"halves", triplet("  h"), 1, 2},
    };
    for (const auto& [what, cols, threes, halves] : rows) {
        const Laid laid = lay(4, cols);
        expectNoOverlap(laid.sheet, what);
        const Page& page = laid.sheet.pages[0];
        const auto marks = marksOf(page, MarkKind::Text, FontRole::Tuplet);
        ASSERT_EQ(marks.size(), threes) << what;
        EXPECT_EQ(page.textOf(*marks[0]), "3");
        // Centred under its three.
        EXPECT_TRUE(
            near(centreX(*marks[0]), (laid.sheet.columns[0].x + laid.sheet.columns[2].x) / 2))
            << what;
        EXPECT_EQ(marksOf(page, MarkKind::TupletBracket).size(), halves) << what;
    }
}

TEST(SheetLayout, TechniquesMarkedBetweenOrOverTheirNotes)
{
    // String 2 from fret 5, then the second column's cell and articulation.
    const std::tuple<const char*, std::string, char, MarkKind, const char*, int> rows[] = {
        {"hammer-on", "H-7", ' ', MarkKind::Slur, "H", 0},
        {"pull-off", "P-3", ' ', MarkKind::Slur, "P", 0},
        {"slide up", "\\-9", ' ', MarkKind::Slide, "", 1},
        {"slide down", "/-2", ' ', MarkKind::Slide, "", 2},
        {"slap", "--7", '+', MarkKind::Text, "S", 0},
        {"pop", "--7", '.', MarkKind::Text, "Po", 0},
    };
    for (const auto& [what, cell, articulation, kind, letter, value] : rows) {
        const Laid laid = lay(4, std::vector<Col>{{"  q", {{2, "--5"}}},
                                                  {"  q", {{2, cell}}, articulation},
                                                  {"  q", {}, 'r'}});
        const Sheet& sheet = laid.sheet;
        expectNoOverlap(sheet, what);
        const Page& page = sheet.pages[0];
        const SystemPlace& system = sheet.systems[0];
        const float y = system.staff.y + gapOf(system, 4);
        const float x0 = sheet.columns[0].x;
        const float x1 = sheet.columns[1].x;
        if (kind != MarkKind::Text) {
            const auto marks = marksOf(page, kind);
            ASSERT_EQ(marks.size(), 1u) << what;
            const Mark& m = *marks[0];
            // Between the two fret numbers, on or over the second string's line.
            EXPECT_TRUE(m.from.x > x0 && m.to.x < x1 && m.box.y < y && m.box.bottom() <= y + 3)
                << what;
            EXPECT_EQ(m.value, value) << what;
            if (kind == MarkKind::Slide) {
                EXPECT_EQ(m.from.y > m.to.y, value == 1) << what << ": rises on the page";
            }
        }
        const auto letters = marksOf(page, MarkKind::Text, FontRole::Technique);
        ASSERT_EQ(letters.size(), std::string_view(letter).empty() ? 0u : 1u) << what;
        if (!letters.empty()) {
            EXPECT_EQ(page.textOf(*letters[0]), letter) << what;
            EXPECT_LE(letters[0]->box.bottom(), system.staff.y) << what << ": above the staff";
            const float at = centreX(*letters[0]);
            if (kind == MarkKind::Slur)
                EXPECT_TRUE(at > x0 && at < x1) << what;
            else
                EXPECT_TRUE(near(at, x1)) << what;
        }
        // The rest column: nothing on the staff, its rest in the rhythm lane.
        const float x2 = sheet.columns[2].x;
        const auto rests = marksOf(page, MarkKind::Rest);
        EXPECT_TRUE(std::ranges::any_of(rests, [&](const Mark* r) {
            return near(centreX(*r), x2) && r->box.y > system.staff.bottom();
        })) << what;
        for (const Mark* fret : marksOf(page, MarkKind::Text, FontRole::Fret))
            EXPECT_FALSE(near(centreX(*fret), x2)) << what;
    }
}

// A pull-off straight into a popped note, at the tightest spacing: the reader sees two
// different marks side by side, neither over the other.
TEST(SheetLayout, APullOffIntoAPopReadsApart)
{
    const Page page = lay(4, std::vector<Col>{{"  s", {{2, "--5"}}},
                                              {"  s", {{2, "P-3"}}},
                                              {"  s", {{2, "--7"}}, '.'}})
                          .sheet.pages[0];
    std::vector<std::string_view> letters;
    for (const Mark* m : marksOf(page, MarkKind::Text, FontRole::Technique))
        letters.push_back(page.textOf(*m));
    EXPECT_EQ(letters, (std::vector<std::string_view>{"P", "Po"}));
    const auto marks = marksOf(page, MarkKind::Text, FontRole::Technique);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_FALSE(marks[0]->box.overlaps(marks[1]->box));
}

TEST(SheetLayout, AStringsFirstNoteReachesBackToNothing)
{
    for (const char* cell : {"H-7", "P-3", "\\-9", "/-2"}) {
        const Page page =
            lay(4, std::vector<Col>{{"  q", {{1, "--5"}}}, {"  q", {{2, cell}}}}).sheet.pages[0];
        EXPECT_TRUE(marksOf(page, MarkKind::Slur).empty()) << cell;
        EXPECT_TRUE(marksOf(page, MarkKind::Slide).empty()) << cell;
    }
}

TEST(SheetLayout, ANoteOverABarLineIsSplitAndTied)
{
    // The fret numbers left to right, and the ties between them.
    const std::tuple<std::vector<std::string>, TimeSignature, const char*, std::size_t> rows[] = {
        {{"  h", "  q", "  h"}, {4, 4}, "5 5 5 (5)", 1},
        {{"  h", "  h"}, {3, 4}, "5 5 (5)", 1},
        {{"  q", "  w"}, {4, 4}, "5 5 (5)", 1},
        {{"  w"}, {2, 4}, "5 (5)", 1},
        {{"  w", "  w"}, {1, 4}, "5 (5) (5) (5) 5 (5) (5) (5)", 6},
        {{" q.", " q.", " q."}, {3, 4}, "5 5 5", 0},
    };
    for (const auto& [rhythms, time, frets, ties] : rows) {
        const Laid laid = lay(4, notes(rhythms), time);
        const std::string what = frets;
        expectNoOverlap(laid.sheet, what);
        std::string read;
        for (const Page& page : laid.sheet.pages) {
            for (const Mark* m : marksOf(page, MarkKind::Text, FontRole::Fret))
                read += (read.empty() ? "" : " ") + std::string(page.textOf(*m));
        }
        EXPECT_EQ(read, frets);
        EXPECT_EQ(marksOf(laid.sheet.pages[0], MarkKind::Tie).size(), ties) << what;
        for (const Mark* tie : marksOf(laid.sheet.pages[0], MarkKind::Tie))
            EXPECT_GT(tie->box.y, laid.sheet.systems[0].staff.y) << what << ": under the line";
    }
}

TEST(SheetLayout, SystemsJustifiedAndSpacedByDuration)
{
    const std::vector<Col> cols =
        notes({"  h", "  s", "  s", "  s", "  s", "  q", "  h", "  e", "  e", "  q"});
    const Laid laid = lay(4, repeated(4, cols, 10));
    const Sheet& sheet = laid.sheet;
    expectNoOverlap(sheet, "justified");
    ASSERT_GT(sheet.systems.size(), 2u);
    const float right = sheet.systems[0].staff.right();
    EXPECT_GT(right, sheet.size.width * 0.85f);
    for (std::size_t s = 0; s + 1 < sheet.systems.size(); ++s)
        EXPECT_TRUE(near(sheet.systems[s].staff.right(), right)) << s;
    // The staff ends at its system's last bar line, and only the piece's last is the final one.
    std::size_t finals = 0;
    for (std::size_t s = 0; s < sheet.systems.size(); ++s) {
        const SystemPlace& system = sheet.systems[s];
        const Mark* last = nullptr;
        for (const Mark* m :
             marksOf(sheet.pages[static_cast<std::size_t>(system.page)], MarkKind::BarLine)) {
            if (near(m->from.y, system.staff.y) && (last == nullptr || m->from.x > last->from.x))
                last = m;
        }
        ASSERT_NE(last, nullptr) << s;
        EXPECT_NEAR(last->box.right(), system.staff.right(), 0.5f) << s;
        finals += last->value == 1;
        EXPECT_EQ(last->value == 1, s + 1 == sheet.systems.size()) << s;
    }
    EXPECT_EQ(finals, 1u);
    // In each system: after a half more room than after a quarter, than after a sixteenth.
    for (std::size_t c = 0; c + 2 < laid.score.columns.size(); c += cols.size()) {
        const auto gap = [&](std::size_t k) {
            return sheet.columns[c + k + 1].x - sheet.columns[c + k].x;
        };
        if (sheet.columns[c].system != sheet.columns[c + 9].system)
            continue;
        // Half, eighth, sixteenth, none of them before a bar line.
        EXPECT_GT(gap(0), gap(7)) << c;
        EXPECT_GT(gap(6), gap(7)) << c;
        EXPECT_GT(gap(7), gap(1)) << c;
    }
}

TEST(SheetLayout, LongTabBreaksPagesOnlyBetweenSystems)
{
    const std::vector<Col> cols = {{"  q", {{1, "--5"}, {3, "--7"}}},
                                   {"  e", {{2, "H-7"}}},
                                   {"  e", {{2, "--5"}}},
                                   {"  s", {{4, "--3"}}},
                                   {"  s", {{4, "\\-5"}}},
                                   {" e.", {{3, "--2"}}},
                                   {"  q", {}, 'r'},
                                   {"  h", {{1, "-12"}}, '+'},
                                   {"  q", {{4, "--0"}}}};
    for (const Paper paper : {Paper::A4, Paper::Letter}) {
        const Laid laid = lay(5, repeated(5, cols, 120), {}, paper);
        const Sheet& sheet = laid.sheet;
        expectNoOverlap(sheet, paper == Paper::A4 ? "A4" : "Letter");
        const std::size_t pages = sheet.pages.size();
        ASSERT_GT(pages, 3u);
        std::size_t bar = 0;
        float below = 0;
        int page = 0;
        for (const SystemPlace& system : sheet.systems) {
            EXPECT_EQ(system.firstBar, bar);
            bar += system.barCount;
            ASSERT_GE(system.page, page);
            if (system.page > page)
                below = 0;
            page = system.page;
            // Stacked down the page, inside it.
            EXPECT_GT(system.staff.y, below);
            EXPECT_LT(system.staff.bottom(), sheet.size.height - 40);
            below = system.staff.bottom();
        }
        const std::int64_t total = laid.score.length;
        EXPECT_EQ(bar, static_cast<std::size_t>((total + 1919) / 1920));
        EXPECT_EQ(page + 1, static_cast<int>(pages));
        // Every note on the page of its system, at its x.
        for (std::size_t c = 0; c < laid.score.columns.size(); ++c) {
            const ColumnPlace place = sheet.columns[c];
            ASSERT_GE(place.system, 0);
            const SystemPlace& system = sheet.systems[static_cast<std::size_t>(place.system)];
            EXPECT_EQ(place.page, system.page);
            const score::Column& column = laid.score.columns[c];
            if (column.notes.empty())
                continue;
            const float y =
                system.staff.y + static_cast<float>(column.notes[0].string - 1) * gapOf(system, 5);
            EXPECT_NE(textAt(sheet.pages[static_cast<std::size_t>(place.page)], FontRole::Fret,
                             place.x, y),
                      nullptr)
                << c;
        }
        for (std::size_t p = 0; p < pages; ++p) {
            const Page& at = sheet.pages[p];
            const auto numbers = marksOf(at, MarkKind::Text, FontRole::PageNumber);
            ASSERT_EQ(numbers.size(), p == 0 ? 0u : 1u) << p;
            if (p > 0) {
                EXPECT_EQ(at.textOf(*numbers[0]),
                          std::to_string(p + 1) + " / " + std::to_string(pages));
            }
            EXPECT_EQ(marksOf(at, MarkKind::Text, FontRole::Title).size(), p == 0 ? 1u : 0u);
        }
    }
}

TEST(SheetLayout, TitleBlockAloneForAnEmptyTab)
{
    const std::vector<std::vector<std::string>> inputs = {
        {}, {"no tab here", "", "| "}, {"| ", "G ", "D "}, // a block cut short
    };
    for (const auto& lines : inputs) {
        const Laid laid = lay(5, lines);
        const Sheet& sheet = laid.sheet;
        ASSERT_EQ(sheet.pages.size(), 1u);
        EXPECT_TRUE(sheet.systems.empty());
        const Page& page = sheet.pages[0];
        EXPECT_TRUE(marksOf(page, MarkKind::StaffLine).empty());
        std::vector<std::string> texts;
        for (const Mark* m : marksOf(page, MarkKind::Text))
            texts.emplace_back(page.textOf(*m));
        EXPECT_EQ(texts, (std::vector<std::string>{"Low Road", "The Fretless", "Tab by Ann",
                                                   "Bass: Bo", "Tuning: B E A D G", "= 132"}));
        EXPECT_EQ(marksOf(page, MarkKind::QuarterNote).size(), 1u);
        expectNoOverlap(sheet, "title block");
    }
}

TEST(SheetLayout, ATitleWiderThanThePageIsMadeSmallerThenCut)
{
    const std::tuple<std::string, const char*> rows[] = {
        {std::string(60, 'W'), "smaller"},
        {std::string(400, 'W'), "cut"},
        {[] {
             std::string e;
             for (int i = 0; i < 301; ++i)
                 e += "\u00e9";
             return e;
         }(),
         "cut between letters of two bytes"},
    };
    for (const auto& [title, what] : rows) {
        SheetInput input = inputFor(4);
        input.title = title;
        const Sheet sheet = layoutSheet(test::read(4, {}), input);
        expectNoOverlap(sheet, what);
        const auto titles = marksOf(sheet.pages[0], MarkKind::Text, FontRole::Title);
        ASSERT_EQ(titles.size(), 1u);
        const std::string_view shown = sheet.pages[0].textOf(*titles[0]);
        EXPECT_EQ(shown.ends_with("\u2026"), std::string_view(what).starts_with("cut")) << what;
        EXPECT_LT(titles[0]->size, 20) << what;
        const std::string_view kept =
            shown.ends_with("\u2026") ? shown.substr(0, shown.size() - 3) : shown;
        EXPECT_TRUE(title.starts_with(kept)) << what;
        EXPECT_TRUE(kept.size() == title.size() ||
                    (static_cast<unsigned char>(title[kept.size()]) & 0xC0) != 0x80)
            << what;
    }
}

TEST(SheetLayout, DamagedColumnsLeftBlankAndListedOnce)
{
    const std::vector<Col> cols = {
        {"  q", {{1, "--5"}}}, {"  q", {{1, "x-5"}}}, {"  q", {{2, "-99"}}}, {"  q", {{1, "--7"}}}};
    const Laid laid = lay(4, cols);
    const Sheet& sheet = laid.sheet;
    expectNoOverlap(sheet, "damaged");
    ASSERT_EQ(sheet.skipped.size(), 2u);
    EXPECT_EQ(sheet.skipped[0].offset, 5);
    EXPECT_EQ(sheet.skipped[1].offset, 8);
    const Page& page = sheet.pages[0];
    std::vector<std::string> frets;
    for (const Mark* m : marksOf(page, MarkKind::Text, FontRole::Fret))
        frets.emplace_back(page.textOf(*m));
    EXPECT_EQ(frets, (std::vector<std::string>{"5", "7"}));
    // Their time stays: the last note is on the fourth beat, no rest fills the bar.
    EXPECT_EQ(laid.score.columns[1].start, 3 * 480);
    EXPECT_TRUE(marksOf(page, MarkKind::Rest).empty());
    EXPECT_EQ(marksOf(page, MarkKind::Stem).size(), 2u);
}

// Twice the estimate: the layout must take its widths from the port.
class WideMeasure : public TextMeasure {
public:
    float width(std::string_view text, FontRole role, float size) const override
    {
        return 2 * EstimatedTextMeasure().width(text, role, size);
    }
};

TEST(SheetLayout, TextWidthsComeFromThePort)
{
    const std::vector<Col> cols = notes(std::vector<std::string>(16, "  s"));
    const score::Score score = test::read(4, test::block(4, cols));
    const Sheet estimated = layoutSheet(score, inputFor(4));
    const Sheet wide = layoutSheet(score, inputFor(4), WideMeasure());
    expectNoOverlap(wide, "wide");
    const auto frets = marksOf(wide.pages[0], MarkKind::Text, FontRole::Fret);
    ASSERT_FALSE(frets.empty());
    EXPECT_TRUE(near(frets[0]->box.width, 2 * 0.6f * frets[0]->size));
    EXPECT_GT(wide.columns[15].x - wide.columns[0].x,
              estimated.columns[15].x - estimated.columns[0].x);
}

} // namespace
} // namespace quorlin::sheet
