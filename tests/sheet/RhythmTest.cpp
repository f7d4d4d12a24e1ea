// Time cut into bars: where notes split and tie, what fills the last bar, which values a
// split piece takes. Expected values are counted by hand from the bar's length.

#include "sheet/Rhythm.h"
#include "tests/sheet/Tabs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorlin::sheet {
namespace {

using test::Col;
using test::notes;

constexpr const char* kNames[] = {"w", "h", "q", "e", "s", "32", "64"};

std::string name(NoteValue v)
{
    return std::string(kNames[v.level]) + (v.dotted ? "." : "") + (v.triplet ? "t" : "");
}

// "0+960 h, 960+480 q | 1440+480 (q": bars split by "|", a tied part opens with "(", a rest
// ends with "r", a blank is "b".
std::string describe(const Rhythm& rhythm)
{
    std::ostringstream out;
    for (const Bar& bar : rhythm.bars) {
        if (&bar != rhythm.bars.data())
            out << " | ";
        for (std::size_t i = bar.firstPiece; i < bar.firstPiece + bar.pieceCount; ++i) {
            const Piece& p = rhythm.pieces[i];
            out << (i == bar.firstPiece ? "" : ", ") << p.start << '+' << p.length << ' ';
            if (p.kind == Piece::Kind::Blank) {
                out << 'b';
                continue;
            }
            out << (p.tiedFromBefore ? "(" : "") << name(p.value)
                << (p.kind == Piece::Kind::Rest ? "r" : "");
        }
    }
    return out.str();
}

Rhythm measure(const std::vector<Col>& cols, TimeSignature time)
{
    return measureScore(test::read(4, test::block(4, cols)), time);
}

TEST(Rhythm, BarsSplitTiedAndFilled)
{
    const std::vector<Col> triplet = {
        {"  e", {{1, "--5"}}}, {"  e", {{1, "~~5"}}}, {"  e", {{1, "~~7"}}}, {" h.", {{1, "--5"}}}};
    const std::vector<Col> damaged = {
        {"  q", {{1, "--5"}}}, {"  q", {{1, "x-5"}}}, {"  q", {{1, "--5"}}}};
    const std::tuple<const char*, std::vector<Col>, TimeSignature, const char*> rows[] = {
        {"whole bars", notes({"  h", "  h", "  w"}), {4, 4}, "0+960 h, 960+960 h | 1920+1920 w"},
        {"half over a 3/4 bar line",
         notes({"  h", "  h"}),
         {3, 4},
         "0+960 h, 960+480 q | 1440+480 (q, 1920+960 hr"},
        {"dotted quarters, the last split and the bar filled",
         notes({" q.", " q.", " q."}),
         {4, 4},
         "0+720 q., 720+720 q., 1440+480 q | 1920+240 (e, 2160+1440 h.r, 3600+240 er"},
        {"6/8 bars of three quarters' time",
         notes({"  q", "  q", "  q", "  q"}),
         {6, 8},
         "0+480 q, 480+480 q, 960+480 q | 1440+480 q, 1920+960 hr"},
        {"a whole note over two 2/4 bars", notes({"  w"}), {2, 4}, "0+960 h | 960+960 (h"},
        {"triplet eighths", triplet, {4, 4}, "0+160 et, 160+160 et, 320+160 et, 480+1440 h."},
        {"a skipped column keeps its time, blank",
         damaged,
         {4, 4},
         "0+480 q, 480+480 b, 960+480 q, 1440+480 qr"},
        {"a bar of rest takes the whole rest", {{" h.", {}, 'r'}}, {3, 4}, "0+1440 wr"},
        {"a quarter's rest fills a 3/4 bar", notes({"  q"}), {3, 4}, "0+480 q, 480+960 hr"},
        {"a signature no bar can count falls back to 4/4", notes({"  w"}), {3, 5}, "0+1920 w"},
    };
    for (const auto& [what, cols, time, expected] : rows)
        EXPECT_EQ(describe(measure(cols, time)), expected) << what;
}

TEST(Rhythm, ValuesAddUpToTheTicks)
{
    const std::tuple<std::int64_t, bool, const char*> rows[] = {
        {1440, false, "h."}, {600, false, "q s"},   {320, false, "qt"},   {160, true, "et"},
        {480, true, "q.t"},  {3000, false, "w. s"}, {1200, false, "h e"}, {7, false, "64t"},
    };
    for (const auto& [ticks, triplet, expected] : rows) {
        std::string got;
        for (const NoteValue v : valuesOf(ticks, triplet))
            got += (got.empty() ? "" : " ") + name(v);
        EXPECT_EQ(got, expected) << ticks;
    }
}

} // namespace
} // namespace quorlin::sheet
