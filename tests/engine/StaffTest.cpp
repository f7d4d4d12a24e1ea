// Notes dropped on the neck, then "New line", "Clear", triplets, rests, "Rep" and "<-".

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "tests/instrument/TableGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace quorlin::engine {
namespace {

using Lines = std::vector<std::string>;
using T = Technique;
using O = DropOutcome;

struct Fixture {
    explicit Fixture(Lines lines = {}) : text(std::move(lines)) {}
    DropOutcome drop(auto... field) { return staff.Dropped({field...}); }

    VectorTabText text;
    instrument::testing::TableGrid neck; // remembers its cells
    Staff staff{text, neck};
};

TEST(Dropped, WorkedExampleDropByDrop)
{
    const std::pair<Drop, DropOutcome> steps[] = {{{5, 3, 'q'}, O::Written},
                                                  {{7, 3, 'e', T::HammerOn, true}, O::Written},
                                                  {{12, 3, 'e', T::Slide}, O::Written},
                                                  {{0, 1, 'e', T::Chord}, O::Written},
                                                  {{3, 1, 'e', T::Chord}, O::ChordRefused},
                                                  {{3, 2, 'q', T::Chord}, O::ChordRefused},
                                                  {{3, 4, 'q', T::Pop}, O::Written},
                                                  {{2, 2, 's', T::Slide}, O::SlideRefused},
                                                  {{1, 4, 's', T::Slide}, O::Written},
                                                  {{10, 4, 'w', T::Slap}, O::Written}};
    Fixture f;
    for (const auto& [drop, outcome] : steps)
        EXPECT_EQ(f.staff.Dropped(drop), outcome) << drop.column << "," << drop.row;
    for (const Drop off : {Drop{3, 0}, Drop{3, 5}, Drop{-1, 2}, Drop{25, 2}}) // not even the marker
        EXPECT_EQ(f.staff.Dropped(off), O::Ignored) << off.column << "," << off.row;
    EXPECT_EQ(f.text.lines(),
              (Lines{"|   q e.  e  q  s  w", "G --------0---------", "D ------------------",
                     "A --5H-7\\12---------", "E -----------3/-1-10", ">            .     +"}));
    const EditingState& s = f.staff.state();
    EXPECT_EQ(std::tuple(s.lastString, s.lastFret, s.setupUnlocked, s.chordAvailable),
              std::tuple(4, 10, false, true));
    EXPECT_EQ(f.neck.at(10, 4), "X");
    EXPECT_EQ(f.neck.at(2, 2), "") << "the refused slide's marker is cleared";
    EXPECT_EQ(f.neck.at(0, 1), "G ") << "a marker on an open string covered its name";
}

TEST(Dropped, SlidesStayOnTheStringOfTheLastNote)
{
    Fixture f;
    f.staff.setTabWidth(8);
    f.drop(24, 2, 'q', T::PullOff);
    EXPECT_EQ(f.drop(24, 2, 'q', T::Slide), O::Written) << "fits the width exactly";
    EXPECT_EQ(f.text.line(2), "D P24\\24") << "only a lower fret slides down";
    EXPECT_EQ(f.drop(2, 3, 'q', T::Slide), O::SlideRefused) << "after closing the full block";
    EXPECT_EQ(std::tuple(f.text.line(2), f.text.line(8), f.staff.state().lastFret),
              std::tuple("D P24\\24-", "D ", 24));
}

TEST(Dropped, ChordNotesJoinTheLastColumnOfTheSameDuration)
{
    Fixture f;
    EXPECT_EQ(f.drop(3, 1, 'e', T::Chord), O::ChordRefused) << "no column yet";
    f.drop(9, 3, 'e', T::Default, true);
    EXPECT_EQ(f.drop(2, 1, 'e', T::Chord), O::Written) << "the letter before the dot counts";
    EXPECT_EQ(f.drop(7, 2, 'e', T::Chord, true), O::Written);
    EXPECT_EQ(f.drop(12, 1, 'e', T::Chord), O::Written) << "a string sounds one note";
    EXPECT_EQ(f.text.lines(), (Lines{"|  e.", "G -12", "D --7", "A --9", "E ---", ">    "}));
    EXPECT_EQ(f.staff.state().lastString, 1);
    f.staff.GoBack();
    EXPECT_EQ(f.drop(3, 2, 'e', T::Chord), O::ChordRefused) << "a block emptied again";
}

TEST(Staff, FillsNoFurtherThanTheWidthCapAndClearKeepsOnlyTheInstrument)
{
    Fixture f;
    f.staff.setStringCount(5);
    f.staff.setTabWidth(INT_MAX);
    f.drop(3, 2);
    f.staff.JumpLine();
    EXPECT_EQ(f.text.line(6).size(), kMaxTabWidth + 1u);
    f.staff.Clear();
    f.staff.LabelNeck(); // relabelling leaves the marker on its fret
    const EditingState& s = f.staff.state();
    EXPECT_EQ(std::tuple(f.text.count(), s.tabWidth, s.lastString, s.setupUnlocked,
                         s.chordAvailable, s.stringCount.value()),
              std::tuple(0, kDefaultTabWidth, 0, true, false, 5));
    EXPECT_EQ(std::tuple(f.neck.at(3, 2), f.neck.at(0, 5), f.neck.at(instrument::kFrets, 0)),
              std::tuple("X", "B ", "24"));
}

TEST(WriteTriplet, WritesThreeNotesWithTheirTildesWithinTheWidthButRestsIgnoreIt)
{
    Fixture typed(Lines{"| ", "G ", "D ", "A ", "E ", "> "}); // typed by hand: set-up free
    typed.staff.setRest('q', false);
    EXPECT_FALSE(typed.staff.state().setupUnlocked || typed.staff.state().chordAvailable)
        << "the block fixes the strings, but a chord needs a note";

    Fixture f;
    f.staff.setTabWidth(11);
    f.staff.setRest('q', false);
    EXPECT_EQ(f.drop(5, 2, 'e', T::Triplet, true), O::Written); // 14: too wide
    f.staff.WriteTriplet(3, 12, 'q', false);
    f.staff.setRest('h', true);
    f.staff.setRest('w', false);
    EXPECT_EQ(f.text.lines(),
              (Lines{"|   q       ", "G ----------", "D ----------", "A ----------", "E ----------",
                     "    r       ", "|  e. e. e. ", "G ----------", "D --5~~5~~5-", "A ----------",
                     "E ----------", ">           ", "|   q  q  q h.  w", "G ---------------",
                     "D ---------------", "A -12~12~12------", "E ---------------",
                     ">            r  r"}));
    EXPECT_EQ(std::pair(f.staff.state().lastString, f.staff.state().lastFret), std::pair(3, 12));
}

TEST(RepeatLast, CopiesWhereTheCopyFitsAndIntoANewBlockPastIt)
{
    Fixture f;
    f.staff.setStringCount(6);
    f.staff.setTabWidth(23);
    f.drop(12, 1, 'e', T::Triplet);
    f.staff.RepeatLast(true);  // 20
    f.staff.RepeatLast(false); // 23: one column still fits
    f.staff.RepeatLast(false); // past the width
    f.staff.RepeatLast(true);  // one column is too few to copy three
    EXPECT_EQ(
        f.text.lines(),
        (Lines{"|   e  e  e  e  e  e  e ", "C -12~12~12-12~12~12~12-", "G ----------------------",
               "D ----------------------", "A ----------------------", "E ----------------------",
               "B ----------------------", ">                       ", "|   e", "C ~12", "G ---",
               "D ---", "A ---", "E ---", "B ---", ">    "}));
}

TEST(GoBack, RemovesTheLastColumnTheTripletItEndsOrTheFillOfNewLine)
{
    Fixture f;
    f.staff.setTabWidth(20);
    f.drop(3, 1, 'h');
    f.drop(12, 2, 'e', T::Triplet);
    f.staff.JumpLine();
    f.staff.setRest('w', false); // a rest goes on the filled block
    const auto back = [&f] { return f.staff.GoBack(), f.text.line(0).size(); };
    EXPECT_EQ(back(), 21u) << "the rest, not the fill";
    EXPECT_EQ(back(), 5u) << "the fill with the triplet";
    f.drop(5, 2, 'e');
    f.drop(7, 4, 'e', T::Chord);
    EXPECT_EQ(back(), 5u) << "the chord's column";
    f.drop(12, 2, 'e', T::Triplet);
    f.staff.RepeatLast(false);
    EXPECT_EQ(back(), 8u) << "a repeated triplet column still carries its \"~\"";
    EXPECT_EQ(back(), 5u);
    EXPECT_EQ(f.text.lines(), (Lines{"|   h", "G --3", "D ---", "A ---", "E ---", ">    "}));
}

// Lines shortened, emptied, deleted or typed over by hand: no writer may crash, add single
// lines, cut into a line's head, split a character or write over the text above its block.
TEST(HandDamage, NoWriterCrashesOrReachesOutsideTheBlock)
{
    const Lines damaged[] = {{"|   q", "G -", "", "E ---", ">    "},
                             {"prelude by hand", "|   q"},
                             Lines(6, "typed"), // into the empty tab, set-up still free
                             {"|   q", "G --5", "D \xC3\xA9xy", "A ---", "E ---", ">    "}};
    void (*const actions[])(Fixture&) = {[](Fixture& f) { f.drop(4, 1); },
                                         [](Fixture& f) { f.drop(4, 2, 'q', T::Chord); },
                                         [](Fixture& f) { f.staff.setRest('e', true); },
                                         [](Fixture& f) { f.staff.RepeatLast(false); },
                                         [](Fixture& f) { f.staff.GoBack(); },
                                         [](Fixture& f) { f.staff.JumpLine(); }};
    for (const Lines& lines : damaged)
        for (std::size_t a = 0; a < std::size(actions); ++a)
            for (int width : {80, 4}) {
                SCOPED_TRACE(testing::Message() << "action " << a << ", width " << width);
                Fixture f(lines);
                f.staff.setTabWidth(width);
                actions[a](f);
                actions[a](f);
                const int added = f.text.count() - static_cast<int>(lines.size());
                EXPECT_EQ(added % 6, 0) << "lines added one by one";
                EXPECT_TRUE(added == 0 || !f.staff.state().setupUnlocked) << "free set-up";
                for (std::size_t k = 0; k < lines.size(); ++k)
                    EXPECT_TRUE(f.text.lines()[k].starts_with(lines[k].substr(0, 2))) << k;
                for (const std::string& line : f.text.lines()) // an odd count splits the accent
                    EXPECT_EQ(std::ranges::count_if(line, [](char c) { return c & 0x80; }) % 2, 0);
                const int start = f.staff.state().blockStart;
                for (int k = 1; start >= static_cast<int>(lines.size()) && k < 6; ++k)
                    EXPECT_EQ(f.text.line(start + k).size(), f.text.line(start).size())
                        << "a block opened below the damage starts clean, line " << k;
            }
}

} // namespace
} // namespace quorlin::engine
