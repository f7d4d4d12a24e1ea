// Bars and beats: counted from the time signature over the columns' values, as a bassist
// counts them and as the score plays them.

#include "engine/Columns.h"
#include "engine/VectorTabText.h"
#include "model/TimeSignature.h"
#include "score/Score.h"
#include "tests/engine/TypedSteps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <vector>

using namespace quorlin;
using namespace quorlin::engine;

namespace {

Column value(char symbol, bool dotted = false)
{
    Column column;
    column.notes = {{1, 3}};
    column.setSymbol(symbol);
    column.dotted = dotted;
    return column;
}

} // namespace

TEST(Bars, WhereATickFallsInTheBar)
{
    // A quarter is 480 ticks, a whole 1920.
    const struct {
        long long tick;
        TimeSignature time;
        const char* text;
    } cases[] = {
        {0, {4, 4}, "bar 1, beat 1"},        {1919, {4, 4}, "bar 1, beat 4.99"},
        {1920, {4, 4}, "bar 2, beat 1"},     {1920 + 480 + 240, {4, 4}, "bar 2, beat 2.5"},
        {160, {4, 4}, "bar 1, beat 1.33"}, // a triplet eighth's second note
        {320, {4, 4}, "bar 1, beat 1.67"},   {1440, {3, 4}, "bar 2, beat 1"},
        {720, {6, 8}, "bar 1, beat 4"}, // 6/8 counts eighths
        {1440, {6, 8}, "bar 2, beat 1"},     {960, {2, 2}, "bar 1, beat 2"},
        {3 * 1920, {0, 4}, "bar 4, beat 1"}, // no signature: 4/4
        {1920, {5, 3}, "bar 2, beat 1"},     {-5, {4, 4}, "bar 1, beat 1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(barBeatText(c.tick, c.time), c.text) << c.tick;
}

TEST(Bars, ColumnsStartWhereTheScorePlaysThem)
{
    VectorTabText text;
    Staff staff(text);
    staff.setTabWidth(20);
    ASSERT_TRUE(
        engine::testing::type(staff, "q.3:5 e3:7 rs eT2:2 eC1:4 | h4:0 rq. w1:1 sT3:3 q2:2"));
    const std::vector<Column> columns = readColumns(text, staff.state());
    const std::vector<std::string_view> lines(text.lines().begin(), text.lines().end());
    const score::Score read =
        score::readScore(lines, staff.state().stringCount, staff.state().tuning, kDefaultTempo);
    ASSERT_EQ(read.columns.size(), columns.size());
    const std::vector<std::int64_t> starts = columnStarts(columns);
    for (std::size_t c = 0; c < columns.size(); ++c)
        EXPECT_EQ(starts[c], read.columns[c].start) << c;
    EXPECT_EQ(starts.back(), read.length);
}

TEST(Bars, TheTabCursorMovesByBars)
{
    // 4/4: h q q | w | w. over the bar line | (the dotted whole) q on beat 3.
    const std::vector<Column> columns = {value('h'), value('q'),       value('q'),
                                         value('w'), value('w', true), value('q')};
    const std::vector<std::int64_t> starts = columnStarts(columns);
    const TimeSignature time{4, 4};
    const std::size_t appending = columns.size();
    using Found = std::optional<std::size_t>;
    const struct {
        std::size_t from;
        Found next;
        Found previous;
    } moves[] = {
        {0, 3, 0}, {2, 3, 0}, {3, 4, 0}, {4, 5, 3}, {5, {}, 4}, {appending, {}, 5},
    };
    for (const auto& m : moves) {
        EXPECT_EQ(nextBarColumn(starts, m.from, time), m.next) << m.from;
        EXPECT_EQ(previousBarColumn(starts, m.from, time), m.previous) << m.from;
    }
    EXPECT_EQ(barCount(starts, time), 4);
    // Bar 4 begins while the dotted whole sounds: that is its column.
    const Found bars[] = {{}, 0, 3, 4, 4, {}};
    for (std::int64_t bar = 0; bar < 6; ++bar)
        EXPECT_EQ(barColumn(starts, bar, time), bars[bar]) << bar;
    // In 3/4 the same notes make bars h q | q h | ...
    EXPECT_EQ(nextBarColumn(starts, 0, {3, 4}), 2u);
    EXPECT_EQ(barCount(columnStarts({}), time), 0);
    EXPECT_EQ(previousBarColumn(columnStarts({}), 0, time), std::nullopt);
}
