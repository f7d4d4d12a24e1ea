#include "instrument/Tuning.h"
#include "instrument/NoteCycle.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace quorlin::instrument {
namespace {

std::string names(const Tuning& t)
{
    std::string out;
    for (int k = 1; k <= kMaxStrings; ++k)
        out += t.at(k);
    return out;
}

TEST(Tuning, NamesMoveOnlyWhenSixStringsComeOrGo)
{
    const std::pair<std::vector<int>, const char*> cases[] = {
        {{4, 5, 4}, "G D A E B C "},    {{4, 5, 6}, "C G D A E B "},
        {{4, 5, 6, 5}, "G D A E B B "}, {{4, 5, 6, 5, 6}, "C G D A E B "},
        {{4, 6}, "C G D A E B "},       {{4, 6, 4}, "G D A E B B "},
        {{6, 6}, "G D A E B C "}};
    for (const auto& [counts, expected] : cases) {
        Tuning t;
        for (std::size_t i = 1; i < counts.size(); ++i)
            t.followStringCount(counts[i - 1], counts[i]);
        EXPECT_EQ(names(t), expected) << counts.size() << " steps to " << counts.back();
    }

    Tuning retuned;
    retuned.set(1, "A ");
    retuned.followStringCount(5, 6);
    EXPECT_EQ(names(retuned), "C A D A E B ") << "a retuned string moves with its row";
}

TEST(Tuning, NothingReachesPastTheSixEntries)
{
    Tuning t;
    for (int k : {-1, 0, 7}) {
        EXPECT_THROW(t.at(k), std::out_of_range) << k;
        EXPECT_THROW(t.set(k, "A "), std::out_of_range) << k;
    }
    for (auto [given, taken] : {std::pair{-3, 4}, {3, 4}, {5, 5}, {7, 6}, {256, 6}})
        EXPECT_EQ(StringCount(given).value(), taken) << given;
}

TEST(NoteCycle, StepsOneSemitoneWrapsAndComesBackAfterTwelve)
{
    for (auto [from, to] : {std::pair{"E ", "F "}, {"B ", "C "}, {"G#", "A "}, {"C#", "D "}}) {
        EXPECT_EQ(noteAbove(from), to);
        EXPECT_EQ(noteBelow(to), from);
    }
    for (std::size_t i = 0; i < kNoteCycle.size(); i += 2) {
        const std::string start(kNoteCycle.substr(i, 2));
        std::string up = start, down = start;
        for (int step = 0; step < 12; ++step) {
            up = noteAbove(up);
            down = noteBelow(down);
            EXPECT_TRUE(step == 11 || up != start);
        }
        EXPECT_EQ(up, start);
        EXPECT_EQ(down, start);
    }
    for (const char* odd : {"", " A", "#B", "H ", "a ", "Bb", "A#B"}) {
        EXPECT_FALSE(isNoteName(odd)) << odd;
        EXPECT_EQ(noteAbove(odd), "A ") << "onto the cycle, not into half a name";
        EXPECT_EQ(noteBelow(odd), "A ");
    }
}

} // namespace
} // namespace quorlin::instrument
