// Durations dropped on the neck: single notes, slides, chords, the marker and the width.

#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

namespace quorlin::engine {
namespace {

using T = Technique;
using O = DropOutcome;

TEST(Dropped, WorkedExampleDropByDrop)
{
    const std::pair<Drop, DropOutcome> steps[] = {
        {{5, 3, 'q'}, O::Written},
        {{7, 3, 'e', T::HammerOn, true}, O::Written},
        {{12, 3, 'e', T::Slide}, O::Written},
        {{0, 1, 'e', T::Chord}, O::Written},
        {{3, 1, 'e', T::Chord}, O::ChordRefused},
        {{3, 2, 'q', T::Chord}, O::ChordRefused},
        {{3, 4, 'q', T::Pop}, O::Written},
        {{2, 2, 's', T::Slide}, O::SlideRefused},
        {{1, 4, 's', T::Slide}, O::Written},
        {{10, 4, 'w', T::Slap}, O::Written},
        // Off the strings: nothing changes, not even the marker.
        {{3, 0, 'q'}, O::Ignored},
        {{3, 5, 'q'}, O::Ignored},
        {{-1, 2, 'q'}, O::Ignored},
        {{25, 2, 'q'}, O::Ignored},
    };
    Fixture f;
    for (const auto& [drop, outcome] : steps)
        EXPECT_EQ(f.staff.Dropped(drop), outcome) << drop.column << "," << drop.row;

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
    // A full block is closed before the slide is refused.
    EXPECT_EQ(f.drop(2, 3, 'q', T::Slide), O::SlideRefused);
    EXPECT_EQ(f.text.line(2), "D P24\\24-");
    EXPECT_EQ(f.text.line(8), "D ");
    EXPECT_EQ(f.staff.state().lastFret, 24);
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

} // namespace
} // namespace quorlin::engine
