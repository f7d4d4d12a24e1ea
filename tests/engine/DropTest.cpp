// Durations dropped on the neck: single notes, slides, chords, the marker and the width.

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
    for (const Step& s : steps)
        EXPECT_EQ(f.drop(s.column, s.row, s.symbol, s.technique, s.dotted), s.outcome)
            << s.column << "," << s.row;

    EXPECT_EQ(f.text.lines(),
              (Lines{"|   q e.  e  q  s  w", "G --------0---------", "D ------------------",
                     "A --5H-7\\12---------", "E -----------3/-1-10", ">            .     +"}));
    const EditingState& s = f.staff.state();
    EXPECT_EQ(std::tuple(s.blockStart, s.lastString, s.lastFret, s.markCol, s.markRow),
              std::tuple(0, 4, 10, 10, 4));
    EXPECT_EQ(f.neck.at(10, 4), "X");
    EXPECT_EQ(f.neck.at(2, 2), "") << "the old marker is cleared";
    EXPECT_FALSE(s.setupUnlocked);
    EXPECT_TRUE(s.chordAvailable);
}

TEST(Dropped, WritesOneThreeCharacterColumnOnEveryLine)
{
    struct Case {
        int fret;
        Technique technique;
        bool dotted;
        const char *rhythm, *cell, *articulation;
    };
    const Case cases[] = {
        {0, T::Default, false, "  h", "--0", "   "},  {9, T::Default, false, "  h", "--9", "   "},
        {10, T::Default, false, "  h", "-10", "   "}, {24, T::HammerOn, false, "  h", "H24", "   "},
        {3, T::PullOff, false, "  h", "P-3", "   "},  {5, T::Pop, false, "  h", "--5", "  ."},
        {15, T::Slap, false, "  h", "-15", "  +"},    {4, T::Default, true, " h.", "--4", "   "}};
    for (const Case& c : cases) {
        Fixture f;
        ASSERT_EQ(f.drop(c.fret, 2, 'h', c.technique, c.dotted), O::Written);
        EXPECT_EQ(f.text.lines(),
                  (Lines{std::string("| ") + c.rhythm, "G ---", std::string("D ") + c.cell, "A ---",
                         "E ---", std::string("> ") + c.articulation}));
    }
}

TEST(Dropped, SlidesStayOnTheStringOfTheLastNote)
{
    struct Case {
        int row, fret;
        DropOutcome outcome;
        const char* line;
    };
    const Case cases[] = {{2, 3, O::Written, "D --5/-3"},
                          {2, 5, O::Written, "D --5\\-5"},
                          {3, 7, O::SlideRefused, "D --5"}};
    for (const Case& c : cases) {
        Fixture f;
        f.drop(5, 2);
        EXPECT_EQ(f.drop(c.fret, c.row, 'q', T::Slide), c.outcome);
        EXPECT_EQ(f.text.line(2), c.line);
        EXPECT_EQ(f.staff.state().lastFret, c.outcome == O::Written ? c.fret : 5);
    }

    Fixture first;
    EXPECT_EQ(first.drop(0, 1, 'q', T::Slide), O::SlideRefused) << "no note to slide from";
    EXPECT_EQ(first.text.lines(), (Lines{"| ", "G ", "D ", "A ", "E ", "> "}));
    EXPECT_EQ(first.neck.at(0, 1), "X");

    Fixture full;
    full.staff.setTabWidth(5);
    full.drop(3, 1);
    EXPECT_EQ(full.drop(2, 2, 'q', T::Slide), O::SlideRefused);
    EXPECT_EQ(full.text.line(1), "G --3-") << "the fill before the refusal stays";
    EXPECT_EQ(full.text.line(7), "G ");
    EXPECT_EQ(full.staff.state().blockStart, 6);
}

TEST(Dropped, ChordNotesJoinTheLastColumnOfTheSameDuration)
{
    struct Case {
        bool dottedColumn, dottedChord;
        char symbol;
        int row, fret;
        DropOutcome outcome;
        const char* line;
    };
    const Case cases[] = {{false, false, 'e', 1, 0, O::Written, "G --0"},
                          {false, false, 'e', 1, 12, O::Written, "G -12"},
                          {true, false, 'e', 1, 7, O::Written, "G --7"},
                          {true, true, 'e', 4, 2, O::Written, "E --2"},
                          {false, false, 'q', 1, 0, O::ChordRefused, "G ---"},
                          {false, false, 'e', 3, 9, O::ChordRefused, "A --5"}};
    for (const Case& c : cases) {
        Fixture f;
        f.drop(5, 3, 'e', T::Default, c.dottedColumn);
        const std::string rhythm = f.text.line(0);
        EXPECT_EQ(f.drop(c.fret, c.row, c.symbol, T::Chord, c.dottedChord), c.outcome);
        EXPECT_EQ(f.text.line(c.row), c.line);
        EXPECT_EQ(f.text.line(0), rhythm);
        EXPECT_EQ(f.staff.state().lastString, c.outcome == O::Written ? c.row : 3);
    }

    Fixture f;
    EXPECT_EQ(f.drop(3, 1, 'q', T::Chord), O::ChordRefused) << "no column yet";
    f.drop(5, 2, 'q');
    f.drop(7, 3, 'q', T::Chord);
    EXPECT_EQ(f.drop(12, 2, 'q', T::Chord), O::Written) << "a string sounds one note";
    EXPECT_EQ(f.text.line(2), "D -12");
    f.staff.GoBack();
    EXPECT_EQ(f.drop(3, 1, 'q', T::Chord), O::ChordRefused) << "a block emptied again";
}

TEST(Dropped, TwentySixNotesFillAnEightyWideBlockAndTheNextOpensANewOne)
{
    Fixture f;
    for (int i = 0; i < 26; ++i)
        f.drop(i % 10, 1 + i % 4);
    ASSERT_EQ(f.text.count(), 6);
    EXPECT_EQ(f.text.line(0).size(), 80u);

    f.drop(3, 2, 'e');
    ASSERT_EQ(f.text.count(), 12);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f.text.line(i).size(), 81u) << i;
    EXPECT_EQ(f.text.line(6), "|   e");
    EXPECT_EQ(f.text.line(8), "D --3");
    EXPECT_EQ(f.staff.state().blockStart, 6);
}

TEST(Dropped, OnlyStringCellsTakeANoteAndTheMarkerFollows)
{
    for (auto [column, row] : {std::pair{3, 0}, {3, 5}, {3, -1}, {-1, 2}, {25, 2}}) {
        Fixture f;
        EXPECT_EQ(f.drop(column, row), O::Ignored) << column << "," << row;
        EXPECT_EQ(f.text.count(), 0);
        EXPECT_TRUE(f.staff.state().setupUnlocked);
        EXPECT_TRUE(f.neck.cells.empty());
    }

    Fixture f;
    f.staff.LabelNeck();
    f.drop(0, 2);
    EXPECT_EQ(f.neck.at(0, 2), "X") << "an open string covers its name";
    f.drop(6, 3);
    EXPECT_EQ(f.neck.at(0, 2), "D ");
}

} // namespace
} // namespace quorlin::engine
