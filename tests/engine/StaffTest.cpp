// Staff blocks: opening, filling to the width, clearing.

#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

#include <climits>

namespace quorlin::engine {
namespace {

TEST(StaffBlocks, HoldOneLinePerStringBetweenRhythmAndArticulation)
{
    const std::pair<int, Lines> cases[] = {{4, {"| ", "G ", "D ", "A ", "E ", "> "}},
                                           {5, {"| ", "G ", "D ", "A ", "E ", "B ", "> "}},
                                           {6, {"| ", "C ", "G ", "D ", "A ", "E ", "B ", "> "}}};
    for (const auto& [strings, block] : cases) {
        Fixture f;
        f.staff.setStringCount(strings);
        f.staff.FirstBlock(kArticulationPrefix);
        f.staff.NewBlock();
        Lines twice = block;
        twice.insert(twice.end(), block.begin(), block.end());
        EXPECT_EQ(f.text.lines(), twice) << strings;
        EXPECT_EQ(f.staff.state().blockStart, strings + 2);
    }
}

TEST(StaffJumpLine, FillsEveryLineToOnePastTheWidthUnlessAlreadyPastIt)
{
    struct Case {
        int width;
        std::size_t length, after;
    };
    const Case cases[] = {{20, 11, 21},
                          {20, 20, 21},
                          {20, 21, 21},
                          {20, 30, 30},
                          {0, 2, 2},
                          {-7, 2, 2},
                          {INT_MAX, 2, kMaxTabWidth + 1}};
    for (const Case& c : cases) {
        Lines lines{"| ", "G ", "D ", "A ", "E ", "> "};
        for (std::size_t i = 0; i < lines.size(); ++i)
            lines[i].resize(c.length, i == 0 || i == 5 ? ' ' : '-');
        Fixture f(lines);
        f.staff.setTabWidth(c.width);
        f.staff.JumpLine();
        const Lines once = f.text.lines();
        f.staff.JumpLine();
        EXPECT_EQ(f.text.lines(), once) << "a filled block is never filled again";
        for (std::size_t i = 0; i < once.size(); ++i) {
            EXPECT_EQ(once[i].size(), c.after) << c.width << " " << c.length;
            EXPECT_EQ(once[i].find_first_not_of(i == 0 || i == 5 ? ' ' : '-', 2),
                      std::string::npos);
        }
    }
}

TEST(StaffJumpLine, FillsAfterTheNotesWritten)
{
    Fixture f(
        {"|   q  e  h", "G -------10", "D -----7---", "A --5------", "E ---------", ">          "});
    f.staff.setTabWidth(20);
    f.staff.JumpLine();
    EXPECT_EQ(f.text.lines(),
              (Lines{"|   q  e  h          ", "G -------10----------", "D -----7-------------",
                     "A --5----------------", "E -------------------", ">                    "}));
}

TEST(StaffClear, EmptiesTheTabAndUnlocksTheSetUpButKeepsTheInstrument)
{
    Fixture f;
    f.staff.setStringCount(5);
    f.staff.setTabWidth(60);
    f.drop(3, 2);
    f.staff.Clear();

    const EditingState& s = f.staff.state();
    EXPECT_EQ(f.text.count(), 0);
    EXPECT_EQ(s.blockStart, 0);
    EXPECT_EQ(s.tabWidth, kDefaultTabWidth);
    EXPECT_EQ(s.lastString, 0);
    EXPECT_TRUE(s.setupUnlocked);
    EXPECT_FALSE(s.chordAvailable);
    EXPECT_EQ(s.stringCount.value(), 5);
    EXPECT_EQ(s.markCol, 3);
    EXPECT_EQ(f.neck.at(3, 2), "X");
}

} // namespace
} // namespace quorlin::engine
