// Notes dropped on the neck, then "New line", "Clear", triplets, rests, "Rep" and "<-".

#include "engine/Staff.h"
#include "engine/VectorTabText.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <sstream>

namespace quorlin::engine {
namespace {

using Lines = std::vector<std::string>;
using T = Technique;
using E = Entry;
using O = DropOutcome;

// A tab written as its lines with "\n" between them.
Lines split(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct Fixture {
    DropOutcome drop(auto... field) { return staff.Dropped({field...}); }
    std::string tab() const
    {
        std::string all;
        for (const std::string& line : text.lines())
            all += (all.empty() ? "" : "\n") + line;
        return all;
    }
    std::pair<int, int> last() const { return {staff.state().lastString, staff.state().lastFret}; }

    std::string shown(int column, int row) const { return staff.neck().cell(column, row); }

    VectorTabText text;
    Staff staff{text};
};

TEST(Dropped, WorkedExampleDropByDrop)
{
    const std::pair<Drop, DropOutcome> steps[] = {
        {{5, 3, 'q'}, O::Written},
        {{7, 3, 'e', T::HammerOn, true}, O::Written},
        {{12, 3, 'e', T::SlideUp}, O::Written},
        {{0, 1, 'e', T::Plain, false, E::Chord}, O::Written},
        {{3, 1, 'e', T::Plain, false, E::Chord}, O::ChordRefused},
        {{3, 2, 'q', T::Plain, false, E::Chord}, O::ChordRefused},
        {{3, 4, 'q', T::Pop}, O::Written},
        {{2, 2, 's', T::SlideUp}, O::SlideRefused},
        {{1, 4, 's', T::SlideUp}, O::Written},
        {{10, 4, 'w', T::Slap}, O::Written}};
    Fixture f;
    for (const auto& [drop, outcome] : steps)
        EXPECT_EQ(f.staff.Dropped(drop), outcome) << drop.column << "," << drop.row;
    for (const Drop off : {Drop{3, 0}, Drop{3, 5}, Drop{-1, 2}, Drop{25, 2}}) // not even the marker
        EXPECT_EQ(f.staff.Dropped(off), O::Ignored) << off.column << "," << off.row;
    EXPECT_EQ(f.tab(), "|   q e.  e  q  s  w\nG --------0---------\nD ------------------\n"
                       "A --5H-7\\12---------\nE -----------3/-1-10\n>            .     +");
    const EditingState& s = f.staff.state();
    EXPECT_EQ(std::tuple(s.lastString, s.lastFret, s.setupUnlocked, s.chordAvailable),
              std::tuple(4, 10, false, true));
    EXPECT_EQ(f.shown(10, 4), "X");
    EXPECT_EQ(f.shown(2, 2), "") << "the refused slide's marker is cleared";
    EXPECT_EQ(f.shown(0, 1), "G ") << "a marker on an open string covered its name";
}

TEST(Dropped, SlidesStayOnTheStringOfTheLastNote)
{
    Fixture f;
    f.staff.setTabWidth(8);
    f.drop(24, 2, 'q', T::PullOff);
    EXPECT_EQ(f.drop(24, 2, 'q', T::SlideUp), O::Written) << "fits the width exactly";
    EXPECT_EQ(f.text.line(2), "D P24\\24") << "only a lower fret slides down";
    EXPECT_EQ(f.drop(2, 3, 'q', T::SlideUp), O::SlideRefused) << "after closing the full block";
    EXPECT_EQ(std::tuple(f.text.line(2), f.text.line(8), f.staff.state().lastFret),
              std::tuple("D P24\\24-", "D ", 24));
}

TEST(Dropped, ChordNotesJoinTheLastNoteColumnOfTheSameDuration)
{
    Fixture f;
    EXPECT_EQ(f.drop(3, 1, 'e', T::Plain, false, E::Chord), O::ChordRefused) << "no column yet";
    f.drop(9, 3, 'e', T::Plain, true);
    EXPECT_EQ(f.drop(2, 1, 'e', T::Plain, false, E::Chord), O::Written)
        << "the letter before the dot counts";
    EXPECT_EQ(f.drop(7, 2, 'e', T::Plain, true, E::Chord), O::Written);
    EXPECT_EQ(f.drop(12, 1, 'e', T::Plain, false, E::Chord), O::Written)
        << "a string sounds one note";
    EXPECT_EQ(f.tab(), "|  e.\nG -12\nD --7\nA --9\nE ---\n>    ");
    EXPECT_EQ(f.staff.state().lastString, 1);
    f.staff.GoBack();
    EXPECT_EQ(f.drop(3, 2, 'e', T::Plain, false, E::Chord), O::ChordRefused)
        << "a block emptied again";
    f.drop(5, 3, 'q');
    f.staff.setRest('q', false);
    EXPECT_EQ(f.drop(3, 1, 'q', T::Plain, false, E::Chord), O::ChordRefused)
        << "a rest has no note to join";
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
    EXPECT_EQ(std::tuple(f.shown(3, 2), f.shown(0, 5), f.shown(instrument::kFrets, 0)),
              std::tuple("X", "B ", "24"));
}

// After a drop on five strings, set-up changes of a cleared tab: a name covers the "X" on its
// open string, a string taken away takes the "X" along, and undo's restore shows it again.
TEST(LabelNeck, CoversTheMarkerWhereANameIsWrittenOrItsStringGoes)
{
    struct Case {
        const char* name;
        int fret, string; // the note dropped, and the cell looked at afterwards
        std::function<void(Staff&)> then;
        const char* shown;
    };
    const auto fourThenFive = [](Staff& s) {
        s.setStringCount(4);
        s.setStringCount(5);
    };
    const Case cases[] = {
        {"retuned open string", 0, 2, [](Staff& s) { s.retune(2, "C#"); }, "C#"},
        {"open string, same name again", 0, 2, [](Staff& s) { s.retune(2, "D"); }, "D "},
        {"a name cut between letters of several bytes", 0, 2,
         [](Staff& s) { s.retune(2, "F\u266fm"); }, "F\u266f"},
        {"a letter of several bytes padded as one", 0, 2, [](Staff& s) { s.retune(2, "\u266d"); },
         "\u266d "},
        {"fret of a retuned string", 6, 2, [](Staff& s) { s.retune(2, "C#"); }, "X"},
        {"string taken away and back", 7, 5, fourThenFive, ""},
        {"another string taken away", 7, 3, fourThenFive, "X"},
        {"restored after a relabelling", 0, 2,
         [](Staff& s) {
             const Staff::Snapshot marked = s.snapshot();
             s.LabelNeck();
             s.restore(marked);
         },
         "X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.staff.setStringCount(5);
        EXPECT_EQ(f.drop(c.fret, c.string), O::Written);
        f.staff.Clear();
        c.then(f.staff);
        EXPECT_EQ(f.shown(c.fret, c.string), c.shown);
    }
}

TEST(WriteTriplet, WritesThreeNotesWithTheirTildesWithinTheWidthButRestsIgnoreIt)
{
    Fixture f;
    f.staff.setTabWidth(11);
    f.staff.setRest('q', false);
    EXPECT_EQ(f.drop(5, 2, 'e', T::Plain, true, E::Triplet), O::Written); // 14: too wide
    f.staff.WriteTriplet(3, 12, 'q', false);
    f.staff.setRest('h', true);
    f.staff.setRest('w', false);
    EXPECT_EQ(f.tab(), "|   q       \nG ----------\nD ----------\nA ----------\nE ----------\n"
                       "    r       \n|  e. e. e. \nG ----------\nD --5~~5~~5-\nA ----------\n"
                       "E ----------\n>           \n|   q  q  q h.  w\nG ---------------\n"
                       "D ---------------\nA -12~12~12------\nE ---------------\n"
                       ">            r  r");
    EXPECT_EQ(f.last(), std::pair(3, 12));
}

TEST(RepeatLast, CopiesWhereTheCopyFitsAndIntoANewBlockPastIt)
{
    Fixture f;
    f.staff.setStringCount(6);
    f.staff.setTabWidth(23);
    f.drop(12, 1, 'e', T::Plain, false, E::Triplet);
    f.staff.RepeatLast(true);  // 20
    f.staff.RepeatLast(false); // 23: one column still fits
    f.staff.RepeatLast(false); // past the width
    f.staff.RepeatLast(true);  // one column is too few to copy three
    EXPECT_EQ(f.tab(), "|   e  e  e  e  e  e  e \nC -12~12~12-12~12~12~12-\n"
                       "G ----------------------\nD ----------------------\n"
                       "A ----------------------\nE ----------------------\n"
                       "B ----------------------\n>                       \n"
                       "|   e\nC ~12\nG ---\nD ---\nA ---\nE ---\nB ---\n>    ");
}

TEST(GoBack, RemovesTheLastColumnTheTripletItEndsOrTheFillOfNewLineAlone)
{
    Fixture f;
    f.staff.setTabWidth(20);
    f.drop(3, 1, 'h');
    f.drop(12, 2, 'e', T::Plain, false, E::Triplet);
    const std::string beforeNewLine = f.tab();
    f.staff.JumpLine();
    f.staff.setRest('w', false); // a rest goes on the filled block
    const auto back = [&f] { return f.staff.GoBack(), f.text.line(0).size(); };
    EXPECT_EQ(back(), 21u) << "the rest, not the fill";
    EXPECT_EQ(back(), 14u) << "the fill alone";
    EXPECT_EQ(f.tab(), beforeNewLine);
    EXPECT_EQ(back(), 5u) << "then the triplet";
    f.drop(5, 2, 'e');
    f.drop(7, 4, 'e', T::Plain, false, E::Chord);
    EXPECT_EQ(back(), 5u) << "the chord's column";
    f.drop(12, 2, 'e', T::Plain, false, E::Triplet);
    f.staff.RepeatLast(false);
    EXPECT_EQ(back(), 8u) << "a repeated triplet column still carries its \"~\"";
    EXPECT_EQ(back(), 5u);
    EXPECT_EQ(f.tab(), "|   h\nG --3\nD ---\nA ---\nE ---\n>    ");
}

// After "<-" the slide and the chord are judged against the note that is now last: in the
// block, or in the block before it, or none.
TEST(GoBack, TheNoteNowLastIsTheOneSlidesAndChordsFollow)
{
    const std::tuple<const char*, std::vector<Drop>, std::pair<int, int>> cases[] = {
        {"the only note", {{3, 4}}, {0, 0}},
        {"the note before", {{3, 4}, {12, 2, 'q', T::HammerOn}}, {4, 3}},
        {"a chord's first string",
         {{5, 3, 'e'}, {7, 1, 'e', T::Plain, false, E::Chord}, {2, 4}},
         {1, 7}},
        {"past a rest", {{9, 2}, {0, 0}}, {2, 9}},
        // The writers drop a chord's marked note first: a slide goes on from a plain one.
        {"a chord's plain note, not its pull-off",
         {{1, 2, 'q', T::PullOff}, {4, 3, 'q', T::Plain, false, E::Chord}, {0, 0}, {0, 0}},
         {3, 4}},
        {"a triplet's chord note, not its own",
         {{5, 1, 's', T::Plain, false, E::Triplet},
          {7, 2, 's', T::Plain, false, E::Chord},
          {0, 0},
          {0, 0}},
         {2, 7}},
        {"the triplet", {{10, 3, 's', T::Plain, false, E::Triplet}, {1, 1}}, {3, 10}},
        {"in the block before", {{3, 4}, {5, 4}, {7, 3}}, {4, 5}},
    };
    for (const auto& [name, drops, last] : cases) {
        Fixture f;
        f.staff.setTabWidth(8); // two columns a block
        for (const Drop& d : drops) {
            if (d.row == 0)
                f.staff.setRest('q', false);
            else
                f.staff.Dropped(d);
        }
        f.staff.GoBack();
        EXPECT_EQ(f.last(), last) << name;
    }
}

// The user changed the text behind the engine: the next note still lands whole, in the last
// block or in a new block after the foreign lines. A block's first note undone is the
// history's ("note into a new block").
TEST(TextChangedBehind, EveryNoteLandsWholeWhereTheUserSeesIt)
{
    // The width and the notes before (string 1, frets 1, 2, ...); what the text is then made
    // to hold; and the tab after two quarter notes on string 3.
    const std::tuple<const char*, int, int, const char*, const char*> cases[] = {
        {"a title typed into the empty tab", 80, 0, "My song",
         "My song\n|   q  q\nG ------\nD ------\nA --5--7\nE ------\n>       "},
        {"a block an editor stripped of its trailing blanks", 80, 0,
         "|   q\nG --1\nD ---\nA ---\nE ---\n>",
         "|   q  q  q\nG --1------\nD ---------\nA -----5--7\nE ---------\n>          "},
        {"a line typed into the block", 80, 1, "|   q\nG --1\nD --- tricky\nA ---\nE ---\n>    ",
         "|   q\nG --1\nD --- tricky\nA ---\nE ---\n>    \n"
         "|   q  q\nG ------\nD ------\nA --5--7\nE ------\n>       "},
        // Eleven characters on screen, twelve bytes: the width counts what the user sees.
        {"a letter of two bytes typed over a rhythm mark", 11, 0,
         "|   \u00e9\nG --1\nD ---\nA ---\nE ---\n>    ",
         "|   \u00e9  q  q\nG --1------\nD ---------\nA -----5--7\nE ---------\n>          "},
    };
    for (const auto& [name, width, notesBefore, changed, after] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        f.staff.setTabWidth(width);
        for (int fret = 1; fret <= notesBefore; ++fret)
            f.drop(fret, 1);
        f.text.eraseAll();
        for (const std::string& line : split(changed))
            f.text.append(line);
        f.staff.setTabWidth(width);
        EXPECT_EQ(f.drop(5, 3), O::Written);
        EXPECT_EQ(f.drop(7, 3), O::Written);
        EXPECT_EQ(f.tab(), after);
        EXPECT_FALSE(f.staff.state().setupUnlocked);
    }
}

TEST(TextChangedBehind, NewLineFillsToTheWidthTheUserSeesWhateverTheLettersTyped)
{
    Fixture f;
    for (const std::string& line : split("|   \u00e9\nG --1\nD ---\nA ---\nE ---\n>    "))
        f.text.append(line);
    f.staff.setTabWidth(8);
    f.staff.JumpLine();
    // One character past the width, as on a block the engine wrote alone.
    EXPECT_EQ(f.tab(), "|   \u00e9    \nG --1----\nD -------\nA -------\nE -------\n>        ");
}

TEST(TextChangedBehind, ThePositionComesFromTheTextAsALoadTakesIt)
{
    Fixture f;
    f.drop(5, 3);
    f.drop(7, 1, 'q', T::Plain, false, E::Chord); // the engine's last note: string 1
    f.text.replace(2, "D ---");                   // an edit that changes nothing of the block
    f.staff.JumpLine();
    EXPECT_EQ(f.last(), std::pair(1, 7));
    EXPECT_TRUE(f.staff.state().chordAvailable);

    // The lines loaded; the block start, the last note and whether a chord may join it.
    const std::tuple<const char*, int, int, int, bool> loads[] = {
        {"|   q  e\nG ---H12\nD ------\nA --5---\nE ------\n>       ", 0, 1, 12, true},
        // An editor stripped the blanks; a fret no neck has is no note.
        {"|   q  e\nG ---H12\nD ------\nA --5---\nE ------\n>", 0, 1, 12, true},
        {"|   q  q\nG --3-99\nD ------\nA ------\nE ------\n>      ", 0, 1, 3, true},
        {"|   q\nG ---\nD ---\nA ---\nE ---\n    r", 0, 0, 0, false}, // nothing to stack on
        {"Intro\n|   q\nG --3\nD ---\nA ---\nE ---\n>    ", 1, 1, 3, true},
        {"Intro\n|   q\nG --3", 0, 0, 0, false}, // no block
    };
    for (const auto& [lines, start, string, fret, chord] : loads) {
        Fixture loaded;
        loaded.staff.adoptLoaded(split(lines), {});
        const EditingState& s = loaded.staff.state();
        EXPECT_EQ(
            std::tuple(s.blockStart, s.lastString, s.lastFret, s.chordAvailable, s.setupUnlocked),
            std::tuple(start, string, fret, chord, false))
            << lines;
    }

    Fixture typed; // the set-up locks on text typed by hand, and frees up when it is all gone
    typed.text.append("My song");
    typed.staff.follow();
    EXPECT_FALSE(typed.staff.state().setupUnlocked);
    typed.text.eraseAll();
    typed.staff.follow();
    EXPECT_TRUE(typed.staff.state().setupUnlocked);
}

// A state kept apart from its text (a recovery copy) that a writer with a fault or an attacker
// made: every field in range, yet pointing where no note belongs. The next note must land in
// the last block, or in a new one after what is no block, as after a hand edit.
TEST(RestoreChecked, AStateTheTextDoesNotBearOutGivesWayToTheText)
{
    const std::string block = "|   q\nG ---\nD ---\nA --5\nE ---\n>    ";
    const std::string prose = block + "\nsome words\nmore words";
    const std::string noted = "|   q  e\nG ------\nD ------\nA --5--7\nE ------\n>       ";
    const std::string twoBlocks = block + "\n" + block;
    struct Case {
        const char* name;
        std::string text;
        int blockStart;
        bool needsBlock;
        bool strippedBlanks;
        bool unlocked;
        bool kept;
        std::string after; // the tab once an eighth note went to fret 7 of string 3
    };
    const Case cases[] = {
        {"as the engine left it", block, 0, false, false, false, true, noted},
        {"the start on the articulation line", block, 5, false, false, false, false, noted},
        {"the start inside the block", block, 2, false, false, false, false, noted},
        {"the start in the earlier of two blocks", twoBlocks, 0, false, false, false, false,
         block + "\n" + noted},
        {"the start on prose after the block", prose, 6, false, false, false, false,
         prose + "\n|   e\nG ---\nD ---\nA --7\nE ---\n>    "},
        {"prose said to be a block to pad", prose, 2, true, true, false, false,
         prose + "\n|   e\nG ---\nD ---\nA --7\nE ---\n>    "},
        {"a whole block said to need one", block, 0, true, false, false, false, noted},
        {"blanks said to be in place that an editor took", "|   q\nG ---\nD ---\nA --5\nE ---\n>",
         0, false, false, false, false, noted},
        {"the set-up said free under a block", block, 0, false, false, true, false, noted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.text.appendLines(split(c.text));
        Staff::Snapshot claimed;
        claimed.state.blockStart = c.blockStart;
        claimed.state.lastString = 3;
        claimed.state.lastFret = 5;
        claimed.state.setupUnlocked = c.unlocked;
        claimed.needsBlock = c.needsBlock;
        claimed.strippedBlanks = c.strippedBlanks;
        EXPECT_EQ(f.staff.restoreChecked(claimed), c.kept);
        EXPECT_FALSE(f.staff.state().setupUnlocked);
        EXPECT_EQ(f.drop(7, 3, 'e'), O::Written);
        EXPECT_EQ(f.tab(), c.after);
    }
}

// What the text cannot tell survives a restore that fits: a chord's last note is the string
// last dropped on, where the text would name its first string.
TEST(RestoreChecked, AFittingStateKeepsWhatOnlyTheEngineKnew)
{
    Fixture before;
    before.drop(5, 3);
    before.drop(7, 1, 'q', T::Plain, false, E::Chord);
    before.drop(9, 2, 'q', T::Plain, false, E::Chord);
    Fixture after;
    after.text.appendLines(before.text.lines());
    EXPECT_TRUE(after.staff.restoreChecked(before.staff.snapshot()));
    EXPECT_EQ(after.last(), std::pair(2, 9));
    EXPECT_EQ(after.shown(9, 2), "X");
    EXPECT_EQ(after.drop(3, 2, 'q', T::Plain, false, E::Chord), O::ChordRefused)
        << "string 2 already sounds";
    EXPECT_EQ(after.drop(3, 4, 'q', T::Plain, false, E::Chord), O::Written);
}

} // namespace
} // namespace quorlin::engine
