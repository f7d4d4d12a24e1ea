#include "instrument/NoteCycle.h"

#include <gtest/gtest.h>

namespace quorlin::instrument {
namespace {

TEST(NoteCycle, StepsOneSemitoneAndWraps)
{
    const std::pair<const char*, const char*> upward[] = {{"A ", "A#"}, {"E ", "F "}, {"B ", "C "},
                                                          {"G ", "G#"}, {"G#", "A "}, {"C#", "D "}};
    for (const auto& [from, to] : upward) {
        EXPECT_EQ(noteAbove(from), to) << from;
        EXPECT_EQ(noteBelow(to), from) << to;
    }
}

TEST(NoteCycle, TwelveStepsComeBackInEitherDirection)
{
    for (std::size_t i = 0; i < kNoteCycle.size(); i += 2) {
        const std::string start(kNoteCycle.substr(i, 2));
        std::string up = start, down = start;
        for (int step = 0; step < 12; ++step) {
            up = noteAbove(up);
            down = noteBelow(down);
            EXPECT_TRUE(isNoteName(up) && isNoteName(down));
            if (step < 11)
                EXPECT_NE(up, start);
        }
        EXPECT_EQ(up, start);
        EXPECT_EQ(down, start);
    }
}

TEST(NoteCycle, ANameOffTheCycleStepsOntoItAtA)
{
    for (const char* odd : {"", "A", " A", "#B", "H ", "a ", "Bb", "A#B"}) {
        EXPECT_FALSE(isNoteName(odd)) << odd;
        EXPECT_EQ(noteAbove(odd), "A ") << odd;
        EXPECT_EQ(noteBelow(odd), "A ") << odd;
    }
}

} // namespace
} // namespace quorlin::instrument
