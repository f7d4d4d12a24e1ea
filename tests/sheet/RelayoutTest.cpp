// A sheet laid out again from the first changed column is the sheet laid out from scratch:
// generated scores of several pages, edited anywhere over and over, compared in every mark,
// system, column place and page after each edit.

#include "sheet/SheetLayout.h"
#include "tests/sheet/Tabs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quorlin::sheet {
namespace {

using score::Technique;

// Mostly notes as the editor writes them, with now and then a rest, a chord, a triplet or a
// column of no time; `plain`, eighths and quarters only, so that bars start with a note.
score::Column randomColumn(std::mt19937& rng, int strings, bool plain)
{
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    score::Column c;
    if (plain) {
        c.symbol = pick(2) == 0 ? 'e' : 'q';
        c.length = tabtext::writtenTicks(c.symbol, false);
        c.offset = 2;
        c.notes.push_back({1 + pick(strings), pick(25), 0, static_cast<Technique>(pick(7))});
        return c;
    }
    c.symbol =
        tabtext::kDurationSymbols[static_cast<std::size_t>(pick(10) < 7 ? pick(3) : pick(5))];
    c.dotted = pick(6) == 0;
    c.triplet = !c.dotted && pick(6) == 0;
    c.length = tabtext::writtenTicks(c.symbol, c.dotted);
    if (c.triplet)
        c.length = tabtext::tripletTicks(c.length);
    if (pick(40) == 0)
        c.length = 0;
    c.rest = pick(8) == 0;
    // Not printed: whether a gap comes before the column, or it starts inside the one before.
    c.offset = pick(40);
    if (!c.rest) {
        for (int n = pick(5) == 0 ? 2 : 1; n > 0; --n)
            c.notes.push_back({1 + pick(strings), pick(25), 0, static_cast<Technique>(pick(7))});
    }
    return c;
}

// Starts follow the lengths, with a gap now and then and a column that starts inside the one
// before it, as damaged text reads.
void retime(score::Score& score)
{
    std::int64_t at = 0;
    for (score::Column& c : score.columns) {
        if (c.offset == 0)
            at += score::kTicksPerBeat / 2;
        c.start = c.offset == 1 && at > 0 ? at - 1 : at;
        at = std::max(at, c.start + c.length);
    }
    score.length = at;
}

enum class Edit {
    Append,
    AppendMany,
    Change,
    Insert,
    Delete,
    AppendAfterDelete,
    NarrowASystemsFirstBar,
    Retitle
};

struct Case {
    const char* name;
    Edit edit;
    // Where in the score the edits fall, as a share of its length: 0 the first system.
    double from;
    double to;
};

const Case kCases[] = {
    {"append at the end", Edit::Append, 1, 1},
    // Systems at a time: the page count changes, and with it every page's number.
    {"append many", Edit::AppendMany, 1, 1},
    {"change anywhere", Edit::Change, 0, 1},
    {"change in the first system", Edit::Change, 0, 0.02},
    {"insert anywhere", Edit::Insert, 0, 1},
    {"insert in the first system", Edit::Insert, 0, 0.02},
    {"delete anywhere", Edit::Delete, 0, 1},
    {"delete near the end", Edit::Delete, 0.95, 1},
    {"delete the last, then append", Edit::AppendAfterDelete, 1, 1},
    // One long note in the bar a system starts with: the system before may take it in.
    {"narrow a system's first bar", Edit::NarrowASystemsFirstBar, 0, 1},
    {"retitle", Edit::Retitle, 0, 0},
};

struct Setting {
    int strings;
    TimeSignature time;
    Paper paper;
    bool plain = false;
};

// A bar of 32 beats is wider than any system: it is cut between pieces.
const Setting kSettings[] = {
    {4, {4, 4}, Paper::A4},       {5, {3, 4}, Paper::Letter}, {6, {6, 8}, Paper::A4},
    {4, {2, 2}, Paper::A4},       {4, {32, 4}, Paper::A4},    {4, {5, 16}, Paper::Letter},
    {4, {4, 4}, Paper::A4, true},
};

// The first difference, said plainly: the types print as bytes.
std::string difference(const Sheet& laid, const Sheet& whole)
{
    const auto system = [](const SystemPlace& s) {
        return "page " + std::to_string(s.page) + ", bars " + std::to_string(s.firstBar) + "+" +
               std::to_string(s.barCount) + ", y " + std::to_string(s.staff.y);
    };
    for (std::size_t i = 0; i < std::min(laid.systems.size(), whole.systems.size()); ++i) {
        if (!(laid.systems[i] == whole.systems[i]))
            return "system " + std::to_string(i) + ": " + system(laid.systems[i]) + " for " +
                   system(whole.systems[i]);
    }
    if (laid.systems.size() != whole.systems.size())
        return std::to_string(laid.systems.size()) + " systems for " +
               std::to_string(whole.systems.size());
    if (laid.pages.size() != whole.pages.size())
        return std::to_string(laid.pages.size()) + " pages for " +
               std::to_string(whole.pages.size());
    for (std::size_t p = 0; p < whole.pages.size(); ++p) {
        const Page& a = laid.pages[p];
        const Page& b = whole.pages[p];
        for (std::size_t m = 0; m < std::min(a.marks.size(), b.marks.size()); ++m) {
            if (!(a.marks[m] == b.marks[m]) || a.textOf(a.marks[m]) != b.textOf(b.marks[m]))
                return "page " + std::to_string(p) + ", mark " + std::to_string(m) + " of kind " +
                       std::to_string(static_cast<int>(b.marks[m].kind)) + " \"" +
                       std::string(b.textOf(b.marks[m])) + "\"";
        }
        if (!(a == b))
            return "page " + std::to_string(p) + ": " + std::to_string(a.marks.size()) +
                   " marks for " + std::to_string(b.marks.size());
    }
    for (std::size_t c = 0; c < std::min(laid.columns.size(), whole.columns.size()); ++c) {
        if (!(laid.columns[c] == whole.columns[c]))
            return "column " + std::to_string(c) + " on system " +
                   std::to_string(laid.columns[c].system) + " for " +
                   std::to_string(whole.columns[c].system);
    }
    return laid == whole ? "" : "the columns' count, the skipped columns or the size";
}

TEST(Relayout, GivesTheSheetLaidOutFromScratch)
{
    const EstimatedTextMeasure measure;
    for (const Case& c : kCases) {
        for (unsigned seed = 1; seed <= std::size(kSettings); ++seed) {
            const Setting& setting = kSettings[seed % std::size(kSettings)];
            std::mt19937 rng(seed * 7919);
            score::Score score;
            score.strings = setting.strings;
            // Two pages or more.
            for (int i = 250 + static_cast<int>(rng() % 250); i > 0; --i)
                score.columns.push_back(randomColumn(rng, setting.strings, setting.plain));
            retime(score);
            SheetInput input;
            input.title = "Take " + std::to_string(seed);
            input.tuning = test::tuningFor(setting.strings);
            input.time = setting.time;
            input.paper = setting.paper;

            SheetLayout layout(measure);
            Sheet sheet = layout.layout(score, input);
            ASSERT_GE(sheet.pages.size(), 2u) << "seed " << seed;
            for (int step = 0; step < 8; ++step) {
                const score::Score before = score;
                const auto size = static_cast<double>(score.columns.size());
                const auto at = static_cast<std::size_t>(
                    (c.from + (c.to - c.from) * std::uniform_real_distribution<>(0, 1)(rng)) *
                    size);
                const std::size_t in = std::min(at, score.columns.size() - 1);
                switch (c.edit) {
                case Edit::Append:
                case Edit::AppendMany:
                    for (int n = c.edit == Edit::Append ? 1 + static_cast<int>(rng() % 3) : 60;
                         n > 0; --n)
                        score.columns.push_back(randomColumn(rng, setting.strings, setting.plain));
                    break;
                case Edit::Change:
                    score.columns[in] = randomColumn(rng, setting.strings, setting.plain);
                    break;
                case Edit::Insert:
                    score.columns.insert(score.columns.begin() + static_cast<std::ptrdiff_t>(at),
                                         randomColumn(rng, setting.strings, setting.plain));
                    break;
                case Edit::Delete:
                    score.columns.erase(score.columns.begin() + static_cast<std::ptrdiff_t>(in));
                    break;
                case Edit::AppendAfterDelete:
                    score.columns.pop_back();
                    if (step % 2 == 1)
                        score.columns.push_back(randomColumn(rng, setting.strings, setting.plain));
                    break;
                case Edit::NarrowASystemsFirstBar: {
                    // The second note of a bar that opens a system with a note of its own
                    // becomes a whole note: the bar narrows, and nothing before it changes.
                    const Rhythm rhythm = measureScore(score, input.time);
                    for (std::size_t s = 1 + in % 7; s < sheet.systems.size(); ++s) {
                        const Bar& bar = rhythm.bars[sheet.systems[s].firstBar];
                        const Piece& p = rhythm.pieces[bar.firstPiece];
                        const auto next = static_cast<std::size_t>(p.column) + 1;
                        if (p.column < 0 || p.tiedFromBefore || next >= score.columns.size() ||
                            bar.pieceCount < 2 ||
                            rhythm.pieces[bar.firstPiece + 1].column != static_cast<int>(next))
                            continue;
                        score.columns[next].symbol = 'w';
                        score.columns[next].length = tabtext::writtenTicks('w', false);
                        break;
                    }
                    break;
                }
                case Edit::Retitle:
                    input.title += "!";
                    break;
                }
                retime(score);
                layout.relayout(sheet, score, input, firstChangedColumn(before, score));
                const Sheet whole = layoutSheet(score, input, measure);
                ASSERT_TRUE(sheet == whole)
                    << c.name << ", seed " << seed << ", edit " << step + 1 << " at column " << at
                    << ": " << difference(sheet, whole);
            }
        }
    }
}

// What a column prints decides; where it stands in the text does not.
TEST(Relayout, FirstChangedColumnComparesWhatIsPrinted)
{
    score::Score before;
    for (int i = 0; i < 4; ++i)
        before.columns.push_back({0,
                                  2,
                                  3 * i,
                                  3,
                                  i * 480,
                                  480,
                                  'q',
                                  false,
                                  false,
                                  false,
                                  {{1, i, 40 + i, Technique::Plain}}});
    const auto changed = [&before](auto edit) {
        score::Score after = before;
        edit(after);
        return firstChangedColumn(before, after);
    };
    EXPECT_EQ(changed([](score::Score&) {}), 4u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[1].line = 9; }), 4u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[2].notes[0].pitch = 1; }), 4u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[2].notes[0].fret = 7; }), 2u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[1].notes.push_back({2, 0, 0, {}}); }), 1u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[3].notes[0].technique = Technique::Pop; }),
              3u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[0].dotted = true; }), 0u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns[3].start += 1; }), 3u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns.pop_back(); }), 3u);
    EXPECT_EQ(changed([](score::Score& s) { s.columns.push_back({}); }), 4u);
}

} // namespace
} // namespace quorlin::sheet
