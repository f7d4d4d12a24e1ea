#include "instrument/Tuning.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace quorlin::instrument {
namespace {

std::vector<std::string> names(const Tuning& t)
{
    std::vector<std::string> out;
    for (int k = 1; k <= kMaxStrings; ++k)
        out.push_back(t.at(k));
    return out;
}

struct ShiftCase {
    const char* name;
    std::vector<int> counts; // the string count, step by step, from the first entry
    std::vector<std::string> tuning;
    friend void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.name; }
};

class TuningShifts : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(TuningShifts, NamesMoveOnlyWhenSixStringsComeOrGo)
{
    const ShiftCase& c = GetParam();
    Tuning t;
    for (std::size_t i = 1; i < c.counts.size(); ++i)
        t.followStringCount(c.counts[i - 1], c.counts[i]);
    EXPECT_EQ(names(t), c.tuning);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, TuningShifts,
    ::testing::Values(
        ShiftCase{"FourToFiveAndBack", {4, 5, 4}, {"G ", "D ", "A ", "E ", "B ", "C "}},
        ShiftCase{"FiveToSix", {4, 5, 6}, {"C ", "G ", "D ", "A ", "E ", "B "}},
        ShiftCase{"SixToFiveKeepsTheLastEntry", {4, 5, 6, 5}, {"G ", "D ", "A ", "E ", "B ", "B "}},
        ShiftCase{"UpAndDownTwice", {4, 5, 6, 5, 6}, {"C ", "G ", "D ", "A ", "E ", "B "}},
        ShiftCase{"FourStraightToSix", {4, 6}, {"C ", "G ", "D ", "A ", "E ", "B "}},
        ShiftCase{"SixStraightToFour", {4, 6, 4}, {"G ", "D ", "A ", "E ", "B ", "B "}},
        ShiftCase{"SixToSixMovesNothing", {6, 6}, {"G ", "D ", "A ", "E ", "B ", "C "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TuningShifts, AStringRetunedBeforeSixStringsMovesWithItsRow)
{
    Tuning t;
    t.set(1, "A ");
    t.followStringCount(5, 6);
    EXPECT_EQ(names(t), (std::vector<std::string>{"C ", "A ", "D ", "A ", "E ", "B "}));
}

TEST(Tuning, HasSixEntriesAndNoMore)
{
    Tuning t;
    for (int k : {-1, 0, 7, 100}) {
        EXPECT_THROW(t.at(k), std::out_of_range) << k;
        EXPECT_THROW(t.set(k, "A "), std::out_of_range) << k;
    }
}

TEST(StringCount, StaysWithinFourToSix)
{
    const std::vector<std::pair<int, int>> cases{{-3, 4}, {0, 4}, {3, 4},   {4, 4},  {5, 5},
                                                 {6, 6},  {7, 6}, {255, 6}, {256, 6}};
    for (const auto& [given, taken] : cases)
        EXPECT_EQ(StringCount(given).value(), taken) << given;
}

} // namespace
} // namespace quorlin::instrument
