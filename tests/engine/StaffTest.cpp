#include "engine/Staff.h"
#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace quorlin::engine {
namespace {

struct BlockCase {
    int strings;
    Lines block;
    friend void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.strings << " strings"; }
};

class StaffBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(StaffBlocks, FirstAndNextBlockHoldOneLinePerStringBetweenRhythmAndArticulation)
{
    const BlockCase& c = GetParam();
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setStringCount(c.strings);

    staff.FirstBlock(kArticulationPrefix);
    EXPECT_EQ(text.lines(), c.block);
    EXPECT_EQ(staff.state().blockStart, 0);

    staff.NewBlock();
    Lines twice = c.block;
    twice.insert(twice.end(), c.block.begin(), c.block.end());
    EXPECT_EQ(text.lines(), twice);
    EXPECT_EQ(staff.state().blockStart, c.strings + 2);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, StaffBlocks,
    ::testing::Values(BlockCase{4, {"| ", "G ", "D ", "A ", "E ", "> "}},
                      BlockCase{5, {"| ", "G ", "D ", "A ", "E ", "B ", "> "}},
                      BlockCase{6, {"| ", "C ", "G ", "D ", "A ", "E ", "B ", "> "}}));

TEST(StaffBlocks, ATabOpenedByARestHasABlankArticulationHeadOnlyInItsFirstBlock)
{
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.FirstBlock(kRestArticulationPrefix);
    staff.NewBlock();
    EXPECT_EQ(text.line(5), "  ");
    EXPECT_EQ(text.line(11), "> ");
}

// A four-string block whose lines all have the given length.
Lines blockOfLength(std::size_t length)
{
    Lines lines{"| ", "G ", "D ", "A ", "E ", "> "};
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].resize(length, i == 0 || i == 5 ? ' ' : '-');
    return lines;
}

struct FillCase {
    const char* name;
    int width;
    std::size_t length;
    std::size_t lengthAfter;
    friend void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }
};

class StaffJumpLine : public ::testing::TestWithParam<FillCase> {};

TEST_P(StaffJumpLine, FillsEveryLineToOnePastTheWidthUnlessAlreadyPastIt)
{
    const FillCase& c = GetParam();
    Fixture f(blockOfLength(c.length));
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setTabWidth(c.width);

    staff.JumpLine();

    ASSERT_EQ(text.count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(text.line(i).size(), c.lengthAfter) << "line " << i;
    EXPECT_EQ(text.line(0).find_first_not_of(' ', 2), std::string::npos);
    EXPECT_EQ(text.line(1).find_first_not_of('-', 2), std::string::npos);
    EXPECT_EQ(text.line(5).find_first_not_of(' ', 2), std::string::npos);

    const Lines once = text.lines();
    staff.JumpLine();
    EXPECT_EQ(text.lines(), once) << "a filled block is never filled again";
}

INSTANTIATE_TEST_SUITE_P(
    Widths, StaffJumpLine,
    ::testing::Values(FillCase{"below", 20, 11, 21}, FillCase{"at", 20, 20, 21},
                      FillCase{"onePast", 20, 21, 21}, FillCase{"farPast", 20, 30, 30},
                      FillCase{"emptyHeads", 80, 2, 81}, FillCase{"zero", 0, 2, 2},
                      FillCase{"negative", -7, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StaffJumpLine, FillsAfterTheNotesAlreadyWritten)
{
    Fixture f(
        {"|   q  e  h", "G -------10", "D -----7---", "A --5------", "E ---------", ">          "});
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setTabWidth(20);
    staff.JumpLine();
    EXPECT_EQ(text.lines(),
              (Lines{"|   q  e  h          ", "G -------10----------", "D -----7-------------",
                     "A --5----------------", "E -------------------", ">                    "}));
}

TEST(StaffJumpLine, SixStringsFillOnlyTheCurrentBlock)
{
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setStringCount(6);
    staff.setTabWidth(4);
    staff.FirstBlock(kArticulationPrefix);
    staff.NewBlock();

    staff.JumpLine();

    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(text.line(i).size(), 2u) << "the block left behind stays as it was";
    EXPECT_EQ(text.line(8), "|    ");
    for (int i = 9; i <= 14; ++i)
        EXPECT_EQ(text.line(i).substr(2), "---") << "string line " << i;
    EXPECT_EQ(text.line(15), ">    ");
}

TEST(StaffJumpLine, ABlockDamagedByHandNeverGrowsOrReachesOutside)
{
    // The user deleted two string lines of the current block: only four lines are left.
    Fixture f({"| ", "G ", "D ", "> "});
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setTabWidth(5);

    staff.JumpLine();

    EXPECT_EQ(text.lines(), (Lines{"|     ", "G ----", "D ----", "> ----"}));
}

TEST(StaffJumpLine, TheWidestWidthStaysBounded)
{
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setTabWidth(INT_MAX);
    staff.FirstBlock(kArticulationPrefix);
    staff.JumpLine();
    EXPECT_EQ(text.line(0).size(), static_cast<std::size_t>(kMaxTabWidth) + 1);
}

TEST(StaffWidth, KeepsZeroAndNegativeButCapsTheTop)
{
    const std::vector<std::pair<int, int>> cases{{80, 80},
                                                 {0, 0},
                                                 {-12, -12},
                                                 {INT_MIN, INT_MIN},
                                                 {kMaxTabWidth, kMaxTabWidth},
                                                 {kMaxTabWidth + 1, kMaxTabWidth},
                                                 {INT_MAX, kMaxTabWidth}};
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    for (const auto& [given, taken] : cases) {
        staff.setTabWidth(given);
        EXPECT_EQ(staff.state().tabWidth, taken) << given;
    }
}

TEST(StaffClear, EmptiesTheTabAndUnlocksTheSetUpButKeepsTheInstrument)
{
    Fixture f;
    VectorTabText& text = f.text;
    Staff& staff = f.staff;
    staff.setStringCount(5);
    staff.setTabWidth(60);
    staff.FirstBlock(kArticulationPrefix);
    staff.NewBlock();

    staff.Clear();

    const EditingState& s = staff.state();
    EXPECT_EQ(text.count(), 0);
    EXPECT_EQ(s.blockStart, 0);
    EXPECT_EQ(s.tabWidth, kDefaultTabWidth);
    EXPECT_EQ(s.lastString, 0);
    EXPECT_EQ(s.lastFret, 0);
    EXPECT_TRUE(s.setupUnlocked);
    EXPECT_FALSE(s.chordAvailable);
    EXPECT_EQ(s.stringCount.value(), 5);
    EXPECT_EQ(s.tuning, instrument::Tuning());

    staff.FirstBlock(kArticulationPrefix);
    EXPECT_EQ(text.count(), 7) << "a cleared tab starts over with the same strings";
}

} // namespace
} // namespace quorlin::engine
