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

TEST(GoBack, RemovesTheLastColumnTheTripletItEndsOrTheFillOfNewLineAlone)
{
    Fixture f;
    f.staff.setTabWidth(20);
    f.drop(3, 1, 'h');
    f.drop(12, 2, 'e', T::Triplet);
    const Lines beforeNewLine = f.text.lines();
    f.staff.JumpLine();
    f.staff.setRest('w', false); // a rest goes on the filled block
    const auto back = [&f] { return f.staff.GoBack(), f.text.line(0).size(); };
    EXPECT_EQ(back(), 21u) << "the rest, not the fill";
    EXPECT_EQ(back(), 14u) << "the fill alone";
    EXPECT_EQ(f.text.lines(), beforeNewLine);
    EXPECT_EQ(back(), 5u) << "then the triplet";
    f.drop(5, 2, 'e');
    f.drop(7, 4, 'e', T::Chord);
    EXPECT_EQ(back(), 5u) << "the chord's column";
    f.drop(12, 2, 'e', T::Triplet);
    f.staff.RepeatLast(false);
    EXPECT_EQ(back(), 8u) << "a repeated triplet column still carries its \"~\"";
    EXPECT_EQ(back(), 5u);
    EXPECT_EQ(f.text.lines(), (Lines{"|   h", "G --3", "D ---", "A ---", "E ---", ">    "}));
}

// After "<-" the slide and the chord are judged against the note that is now last: in the
// block, or in the block before it, or none.
TEST(GoBack, TheNoteNowLastIsTheOneSlidesAndChordsFollow)
{
    struct Case {
        const char* name;
        std::vector<Drop> drops;
        int backs;
        LastNote expected;
    };
    const Case cases[] = {
        {"the only note", {{3, 4}}, 1, {0, 0}},
        {"the note before", {{3, 4}, {12, 2, 'q', T::HammerOn}}, 1, {4, 3}},
        {"a chord's first string", {{5, 3, 'e'}, {7, 1, 'e', T::Chord}, {2, 4}}, 1, {1, 7}},
        {"past a rest", {{9, 2}, {0, 0}}, 1, {2, 9}},
        {"the triplet", {{10, 3, 's', T::Triplet}, {1, 1}}, 1, {3, 10}},
        {"in the block before", {{3, 4}, {5, 4}, {7, 3}}, 1, {4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.staff.setTabWidth(8); // two columns a block
        for (const Drop& d : c.drops) {
            if (d.row == 0)
                f.staff.setRest('q', false);
            else
                f.staff.Dropped(d);
        }
        for (int b = 0; b < c.backs; ++b)
            f.staff.GoBack();
        const EditingState& s = f.staff.state();
        EXPECT_EQ(std::pair(s.lastString, s.lastFret),
                  std::pair(c.expected.string, c.expected.fret));
    }

    Fixture f; // a first slide must be refused
    f.drop(3, 4);
    f.staff.GoBack();
    EXPECT_EQ(f.drop(5, 4, 'q', T::Slide), O::SlideRefused);
    EXPECT_EQ(f.text.line(4), "E ");
}

TEST(Dropped, AChordNoteNeverGoesIntoARest)
{
    Fixture f;
    f.drop(5, 3);
    f.staff.setRest('q', false);
    EXPECT_EQ(f.drop(3, 1, 'q', T::Chord), O::ChordRefused);
    EXPECT_EQ(f.text.line(1), "G ------");
}

// The user changed the text behind the engine (typing, pasting, the text area's undo): the
// next note still lands whole, in the last block or in a new block after the foreign lines.
TEST(TextChangedBehind, EveryNoteLandsWholeWhereTheUserSeesIt)
{
    struct Case {
        const char* name;
        int width, notesBefore; // on string 1, frets 1, 2, ...
        bool clear;
        Lines changed;     // what the text is made to hold behind the engine's back
        const char* after; // two quarter notes on string 3, frets 5 and 7
    };
    const Case cases[] = {
        {"undo of the note that opened a block",
         8,
         3,
         false,
         {"|   q  q", "G --1--2", "D ------", "A ------", "E ------", ">       "},
         "|   q  q |G --1--2-|D -------|A -------|E -------|>        |"
         "|   q  q|G ------|D ------|A --5--7|E ------|>       "},
        {"undo of a clear",
         80,
         1,
         true,
         {"|   q", "G --1", "D ---", "A ---", "E ---", ">    "},
         "|   q  q  q|G --1------|D ---------|A -----5--7|E ---------|>          "},
        {"a title typed into the empty tab",
         80,
         0,
         false,
         {"My song"},
         "My song||   q  q|G ------|D ------|A --5--7|E ------|>       "},
        {"a title typed above the block",
         80,
         1,
         false,
         {"Intro", "|   q", "G --1", "D ---", "A ---", "E ---", ">    "},
         "Intro||   q  q  q|G --1------|D ---------|A -----5--7|E ---------|>          "},
        {"a block an editor stripped of its trailing blanks",
         80,
         0,
         false,
         {"|   q", "G --1", "D ---", "A ---", "E ---", ">"},
         "|   q  q  q|G --1------|D ---------|A -----5--7|E ---------|>          "},
        {"a line typed into the block",
         80,
         1,
         false,
         {"|   q", "G --1", "D --- tricky", "A ---", "E ---", ">    "},
         "|   q|G --1|D --- tricky|A ---|E ---|>    |"
         "|   q  q|G ------|D ------|A --5--7|E ------|>       "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.staff.setTabWidth(c.width);
        for (int fret = 1; fret <= c.notesBefore; ++fret)
            f.drop(fret, 1);
        if (c.clear)
            f.staff.Clear();
        f.text.eraseAll();
        for (const std::string& line : c.changed)
            f.text.append(line);
        f.staff.setTabWidth(c.width);
        EXPECT_EQ(f.drop(5, 3), O::Written);
        EXPECT_EQ(f.drop(7, 3), O::Written);
        std::string text;
        for (const std::string& line : f.text.lines())
            text += (text.empty() ? "" : "|") + line;
        EXPECT_EQ(text, c.after);
        EXPECT_FALSE(f.staff.state().setupUnlocked);
    }
}

TEST(TextChangedBehind, ThePositionComesFromTheTextAsALoadTakesIt)
{
    Fixture f;
    f.drop(5, 3);
    f.drop(7, 1, 'q', T::Chord); // the engine's last note: string 1
    f.text.replace(2, "D ---");  // an edit that changes nothing of the block
    f.staff.JumpLine();
    EXPECT_EQ(std::pair(f.staff.state().lastString, f.staff.state().lastFret), std::pair(1, 7));
    EXPECT_TRUE(f.staff.state().chordAvailable);

    Fixture loaded;
    loaded.staff.adoptLoaded(
        {"|   q  e", "G ---H12", "D ------", "A --5---", "E ------", ">       "}, {});
    const EditingState& s = loaded.staff.state();
    EXPECT_EQ(std::tuple(s.blockStart, s.lastString, s.lastFret, s.chordAvailable),
              std::tuple(0, 1, 12, true))
        << "a loaded note can take a chord";
    EXPECT_EQ(loaded.drop(3, 2, 'e', T::Chord), O::Written);

    Fixture huge; // an editor stripped the blanks; a fret no neck has saturates
    huge.staff.adoptLoaded(
        {"|", "G -99999999999", "D ------------", "A ------------", "E ------------", ">"}, {});
    EXPECT_EQ(std::pair(huge.staff.state().lastString, huge.staff.state().lastFret),
              std::pair(1, INT_MAX));

    Fixture rests;
    rests.staff.adoptLoaded({"|   q", "G ---", "D ---", "A ---", "E ---", "    r"}, {});
    EXPECT_FALSE(rests.staff.state().chordAvailable) << "nothing to stack on";

    Fixture typed; // the set-up locks on text typed by hand, and frees up when it is all gone
    typed.text.append("My song");
    typed.staff.follow();
    EXPECT_FALSE(typed.staff.state().setupUnlocked);
    typed.text.eraseAll();
    typed.staff.follow();
    EXPECT_TRUE(typed.staff.state().setupUnlocked);
}

} // namespace
} // namespace quorlin::engine
