#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

namespace quorlin::engine {
namespace {

using T = Technique;
using O = DropOutcome;

TEST(Dropped, WorkedExampleDropByDrop)
{
    struct Step {
        int column, row;
        char symbol;
        Technique technique;
        bool dotted;
        DropOutcome outcome;
    };
    const Step steps[] = {
        {5, 3, 'q', T::Default, false, O::Written},
        {7, 3, 'e', T::HammerOn, true, O::Written},
        {12, 3, 'e', T::Slide, false, O::Written},
        {0, 1, 'e', T::Chord, false, O::Written},
        {3, 1, 'e', T::Chord, false, O::ChordRefused},
        {3, 2, 'q', T::Chord, false, O::ChordRefused},
        {3, 4, 'q', T::Pop, false, O::Written},
        {2, 2, 's', T::Slide, false, O::SlideRefused},
        {1, 4, 's', T::Slide, false, O::Written},
        {10, 4, 'w', T::Slap, false, O::Written},
    };
    Fixture f;
    int n = 0;
    for (const Step& s : steps)
        EXPECT_EQ(f.drop(s.column, s.row, s.symbol, s.technique, s.dotted), s.outcome)
            << "drop " << ++n;

    EXPECT_EQ(f.text.lines(),
              (Lines{"|   q e.  e  q  s  w", "G --------0---------", "D ------------------",
                     "A --5H-7\\12---------", "E -----------3/-1-10", ">            .     +"}));
    const EditingState& s = f.staff.state();
    EXPECT_EQ(s.blockStart, 0);
    EXPECT_EQ(s.lastString, 4);
    EXPECT_EQ(s.lastFret, 10);
    EXPECT_EQ(s.markCol, 10);
    EXPECT_EQ(s.markRow, 4);
    EXPECT_EQ(f.neck.at(10, 4), "X");
    EXPECT_EQ(f.neck.at(2, 2), "") << "the old marker is cleared";
    EXPECT_FALSE(s.setupUnlocked);
    EXPECT_TRUE(s.chordAvailable);
}

struct CellCase {
    const char* name;
    int fret;
    Technique technique;
    bool dotted;
    const char* rhythm;
    const char* string2;
    const char* articulation;
    friend void PrintTo(const CellCase& c, std::ostream* os) { *os << c.name; }
};

class DroppedCell : public ::testing::TestWithParam<CellCase> {};

TEST_P(DroppedCell, WritesOneThreeCharacterColumnOnEveryLine)
{
    const CellCase& c = GetParam();
    Fixture f;
    ASSERT_EQ(f.drop(c.fret, 2, 'h', c.technique, c.dotted), O::Written);
    EXPECT_EQ(f.text.lines(),
              (Lines{std::string("| ") + c.rhythm, "G ---", std::string("D ") + c.string2, "A ---",
                     "E ---", std::string("> ") + c.articulation}));
    EXPECT_EQ(f.staff.state().lastString, 2);
    EXPECT_EQ(f.staff.state().lastFret, c.fret);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, DroppedCell,
    ::testing::Values(CellCase{"open", 0, T::Default, false, "  h", "--0", "   "},
                      CellCase{"oneDigit", 9, T::Default, false, "  h", "--9", "   "},
                      CellCase{"twoDigits", 10, T::Default, false, "  h", "-10", "   "},
                      CellCase{"hammerLastFret", 24, T::HammerOn, false, "  h", "H24", "   "},
                      CellCase{"pullOff", 3, T::PullOff, false, "  h", "P-3", "   "},
                      CellCase{"pop", 5, T::Pop, false, "  h", "--5", "  ."},
                      CellCase{"slap", 15, T::Slap, false, "  h", "-15", "  +"},
                      CellCase{"dotted", 4, T::Default, true, " h.", "--4", "   "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dropped, SlideMarksFollowTheLastFretOnTheSameString)
{
    struct Case {
        int row, fret;
        DropOutcome outcome;
        const char* cell;
    };
    const Case cases[] = {{2, 3, O::Written, "/-3"},
                          {2, 5, O::Written, "\\-5"},
                          {2, 12, O::Written, "\\12"},
                          {3, 7, O::SlideRefused, ""}};
    for (const Case& c : cases) {
        Fixture f;
        f.drop(5, 2);
        const Lines before = f.text.lines();
        EXPECT_EQ(f.drop(c.fret, c.row, 'q', T::Slide), c.outcome) << c.fret;
        if (c.outcome == O::Written) {
            EXPECT_EQ(f.text.line(2).substr(5), c.cell);
            EXPECT_EQ(f.staff.state().lastFret, c.fret);
        } else {
            EXPECT_EQ(f.text.lines(), before);
            EXPECT_EQ(f.staff.state().lastString, 2);
            EXPECT_EQ(f.staff.state().lastFret, 5);
        }
    }
}

TEST(Dropped, ASlideAsTheFirstNoteIsRefusedButStillLocksAndOpensTheTab)
{
    Fixture f;
    EXPECT_EQ(f.drop(0, 1, 'q', T::Slide), O::SlideRefused);
    EXPECT_EQ(f.text.lines(), (Lines{"| ", "G ", "D ", "A ", "E ", "> "}));
    EXPECT_FALSE(f.staff.state().setupUnlocked);
    EXPECT_TRUE(f.staff.state().chordAvailable);
    EXPECT_EQ(f.neck.at(0, 1), "X");
}

TEST(Dropped, ARefusedSlideKeepsTheFillAndTheNewBlock)
{
    Fixture f;
    f.staff.setTabWidth(5);
    f.drop(3, 1);
    EXPECT_EQ(f.drop(2, 2, 'q', T::Slide), O::SlideRefused);
    EXPECT_EQ(f.text.count(), 12);
    EXPECT_EQ(f.text.line(1), "G --3-");
    EXPECT_EQ(f.text.line(7), "G ");
    EXPECT_EQ(f.staff.state().blockStart, 6);
}

TEST(Dropped, ChordNotesJoinTheLastColumn)
{
    struct Case {
        const char* name;
        bool dottedColumn;
        bool dottedChord;
        char symbol;
        int row, fret;
        DropOutcome outcome;
        const char* line;
    };
    const Case cases[] = {
        {"plain", false, false, 'e', 1, 0, O::Written, "G --0"},
        {"twoDigits", false, false, 'e', 1, 12, O::Written, "G -12"},
        {"dottedColumnPlainChord", true, false, 'e', 1, 7, O::Written, "G --7"},
        {"dottedColumnDottedChord", true, true, 'e', 4, 2, O::Written, "E --2"},
        {"otherDuration", false, false, 'q', 1, 0, O::ChordRefused, "G ---"},
        {"sameString", false, false, 'e', 3, 9, O::ChordRefused, "A --5"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.drop(5, 3, 'e', T::Default, c.dottedColumn);
        const std::string rhythm = f.text.line(0);
        EXPECT_EQ(f.drop(c.fret, c.row, c.symbol, T::Chord, c.dottedChord), c.outcome) << c.name;
        EXPECT_EQ(f.text.line(c.row), c.line) << c.name;
        EXPECT_EQ(f.text.line(0), rhythm) << c.name;
        EXPECT_EQ(f.staff.state().lastString, c.outcome == O::Written ? c.row : 3) << c.name;
    }
}

TEST(Dropped, AChordCannotStartABlock)
{
    Fixture f;
    EXPECT_EQ(f.drop(3, 1, 'q', T::Chord), O::ChordRefused) << "an empty tab";
    f.drop(5, 2);
    f.staff.GoBack();
    EXPECT_EQ(f.drop(3, 1, 'q', T::Chord), O::ChordRefused) << "a block emptied again";
    EXPECT_EQ(f.text.line(1), "G ");
}

TEST(Dropped, AChordNoteOnAStringAlreadyInTheColumnReplacesThatNote)
{
    Fixture f;
    f.drop(5, 1, 'e');
    f.drop(7, 2, 'e', T::Chord);
    EXPECT_EQ(f.drop(12, 1, 'e', T::Chord), O::Written);
    EXPECT_EQ(f.text.line(1), "G -12");
    EXPECT_EQ(f.text.line(2), "D --7");
}

TEST(Dropped, TwentySixNotesFillAnEightyWideBlockAndTheNextOpensANewOne)
{
    Fixture f;
    for (int i = 0; i < 26; ++i)
        f.drop(i % 10, 1 + i % 4);
    EXPECT_EQ(f.text.count(), 6);
    EXPECT_EQ(f.text.line(0).size(), 80u);

    f.drop(3, 2, 'e');
    EXPECT_EQ(f.text.count(), 12);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f.text.line(i).size(), 81u) << i;
    EXPECT_EQ(f.text.line(6), "|   e");
    EXPECT_EQ(f.text.line(8), "D --3");
    EXPECT_EQ(f.staff.state().blockStart, 6);
}

TEST(Dropped, PointsOffTheStringsChangeNothing)
{
    for (auto [column, row] : {std::pair{3, 0}, {3, 5}, {3, -1}, {-1, 2}, {25, 2}}) {
        Fixture f;
        EXPECT_EQ(f.drop(column, row), O::Ignored) << column << "," << row;
        EXPECT_EQ(f.text.count(), 0);
        EXPECT_TRUE(f.staff.state().setupUnlocked);
        EXPECT_TRUE(f.neck.cells.empty());
    }
}

TEST(Dropped, AMarkerOnAnOpenStringGivesTheNameBackOnTheNextDrop)
{
    Fixture f;
    f.staff.LabelNeck();
    f.drop(0, 2);
    EXPECT_EQ(f.neck.at(0, 2), "X");
    f.drop(6, 3);
    EXPECT_EQ(f.neck.at(0, 2), "D ");
    EXPECT_EQ(f.neck.at(6, 3), "X");
    f.drop(8, 3);
    EXPECT_EQ(f.neck.at(6, 3), "");
}

TEST(Dropped, AnUnknownDurationIsABrokenPrecondition)
{
    Fixture f;
    EXPECT_THROW(f.drop(3, 1, 'x'), std::invalid_argument);
    EXPECT_THROW(f.staff.setRest('?', false), std::invalid_argument);
}

} // namespace
} // namespace quorlin::engine
