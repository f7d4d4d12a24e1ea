// Triplets, rests, "Rep" and "<-": the writers that add or take whole columns.

#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorlin::engine {
namespace {

// A four-string block whose lines carry `columns` rests of q, then `extra` more characters.
Lines blockWithRests(int columns)
{
    Lines lines{"| ", "G ", "D ", "A ", "E ", "> "};
    for (int c = 0; c < columns; ++c) {
        lines[0] += "  q";
        for (int k = 1; k <= 4; ++k)
            lines[static_cast<std::size_t>(k)] += "---";
        lines[5] += "  r";
    }
    return lines;
}

TEST(WriteTriplet, WritesThreeNotesWithTheirTildes)
{
    struct Case {
        int fret;
        bool dotted;
        const char* rhythm;
        const char* target;
    };
    const Case cases[] = {{0, false, "|   e  e  e", "D --0~~0~~0"},
                          {7, false, "|   e  e  e", "D --7~~7~~7"},
                          {12, false, "|   e  e  e", "D -12~12~12"},
                          {5, true, "|  e. e. e.", "D --5~~5~~5"}};
    for (const Case& c : cases) {
        Fixture f;
        EXPECT_EQ(f.drop(c.fret, 2, 'e', Technique::Triplet, c.dotted), DropOutcome::Written);
        EXPECT_EQ(f.text.lines(), (Lines{c.rhythm, "G ---------", c.target, "A ---------",
                                         "E ---------", ">          "}))
            << c.fret;
        EXPECT_EQ(f.staff.state().lastString, 2);
        EXPECT_EQ(f.staff.state().lastFret, c.fret);
    }
}

TEST(WriteTriplet, FitsUpToTheWidthAndOpensANewBlockPastIt)
{
    Fixture fits(blockWithRests(23)); // a rhythm line of 71 characters
    fits.staff.WriteTriplet(3, 7, 'q', false);
    EXPECT_EQ(fits.text.count(), 6);
    EXPECT_EQ(fits.text.line(0).size(), 80u);

    Lines longer = blockWithRests(23);
    for (auto& line : longer)
        line += line.front() == '|' || line.front() == '>' ? " " : "-";
    Fixture spills(longer); // 72 characters
    spills.staff.WriteTriplet(3, 7, 'q', false);
    EXPECT_EQ(spills.text.line(0).size(), 81u);
    EXPECT_EQ(spills.text.lines().back(), ">          ");
    EXPECT_EQ(spills.text.line(6), "|   q  q  q");
    EXPECT_EQ(spills.text.line(9), "A --7~~7~~7");
    EXPECT_EQ(spills.staff.state().blockStart, 6);
}

TEST(SetRest, OpensTheFirstBlockWithABlankHeadAndLocksTheSetUp)
{
    Fixture f;
    f.staff.setRest('q', false);
    EXPECT_EQ(f.text.lines(), (Lines{"|   q", "G ---", "D ---", "A ---", "E ---", "    r"}));
    EXPECT_EQ(f.staff.state().blockStart, 0);
    EXPECT_FALSE(f.staff.state().setupUnlocked);
    EXPECT_FALSE(f.staff.state().chordAvailable);

    f.staff.setRest('h', true);
    EXPECT_EQ(f.text.line(0), "|   q h.");
    EXPECT_EQ(f.text.line(5), "    r  r");
}

TEST(SetRest, IgnoresTheWidthAndLeavesTheLastNote)
{
    Fixture f;
    f.staff.setTabWidth(4);
    f.staff.WriteTriplet(3, 7, 'e', false);
    f.staff.setRest('s', false);
    f.staff.setRest('s', false);
    EXPECT_EQ(f.text.count(), 6);
    EXPECT_EQ(f.text.line(3), "A --7~~7~~7------");
    EXPECT_EQ(f.staff.state().lastString, 3);
    EXPECT_EQ(f.staff.state().lastFret, 7);
}

TEST(RepeatLast, CopiesTheLastColumnOrTriplet)
{
    Fixture single;
    single.drop(5, 2);
    single.staff.RepeatLast(false);
    EXPECT_EQ(single.text.lines(),
              (Lines{"|   q  q", "G ------", "D --5--5", "A ------", "E ------", ">       "}));

    Fixture triplet;
    triplet.staff.setRest('q', false);
    triplet.drop(9, 1, 'e', Technique::Triplet);
    triplet.staff.RepeatLast(true);
    EXPECT_EQ(triplet.text.line(0), "|   q  e  e  e  e  e  e");
    EXPECT_EQ(triplet.text.line(1), "G -----9~~9~~9--9~~9~~9");
}

TEST(RepeatLast, DoesNothingWithoutEnoughColumns)
{
    for (int triplet : {0, 1}) {
        Fixture empty;
        empty.staff.RepeatLast(triplet);
        EXPECT_EQ(empty.text.count(), 0);

        Fixture two(blockWithRests(2));
        two.staff.RepeatLast(true);
        EXPECT_EQ(two.text.lines(), blockWithRests(2));
    }
    Fixture heads(blockWithRests(0));
    heads.staff.RepeatLast(false);
    EXPECT_EQ(heads.text.lines(), blockWithRests(0));
}

TEST(RepeatLast, AtTheWidthCopiesIntoANewBlockAndFillsTheOldOne)
{
    struct Case {
        int strings;
        bool triplet;
        int columns; // rhythm length 2 + 3 * columns
        bool newBlock;
    };
    const Case cases[] = {{4, false, 25, false}, {4, false, 26, true}, {6, false, 26, true},
                          {4, true, 23, false},  {4, true, 24, true},  {6, true, 22, false}};
    for (const Case& c : cases) {
        Fixture f;
        f.staff.setStringCount(c.strings);
        for (int i = 0; i < c.columns; ++i)
            f.drop(i % 10, 1 + i % c.strings, 'e');
        const Lines before = f.text.lines();
        const std::size_t width = c.triplet ? 9 : 3;

        f.staff.RepeatLast(c.triplet);

        const int lines = c.strings + 2;
        ASSERT_EQ(f.text.count(), c.newBlock ? 2 * lines : lines) << c.strings << c.columns;
        for (int k = 0; k < lines; ++k) {
            const std::string& was = before[static_cast<std::size_t>(k)];
            const std::string piece = was.substr(was.size() - width);
            if (c.newBlock) {
                EXPECT_EQ(f.text.line(k).size(), 81u);
                EXPECT_EQ(f.text.line(lines + k), was.substr(0, 2) + piece);
            } else {
                EXPECT_EQ(f.text.line(k), was + piece);
            }
        }
        EXPECT_EQ(f.staff.state().blockStart, c.newBlock ? lines : 0);
    }
}

TEST(GoBack, RemovesTheLastNoteOrTheTripletItEnds)
{
    struct Case {
        const char* name;
        void (*write)(Fixture&);
        std::size_t removed;
    };
    const Case cases[] = {
        {"note", [](Fixture& f) { f.drop(5, 2); }, 3},
        {"triplet", [](Fixture& f) { f.drop(5, 2, 'e', Technique::Triplet); }, 9},
        {"rest", [](Fixture& f) { f.staff.setRest('q', false); }, 3},
        {"chord",
         [](Fixture& f) {
             f.drop(5, 2, 'e');
             f.drop(7, 4, 'e', Technique::Chord);
         },
         3},
        // The repeated last column of a triplet carries its "~": the three columns go.
        {"repeatedTripletColumn",
         [](Fixture& f) {
             f.drop(5, 2, 'e', Technique::Triplet);
             f.staff.RepeatLast(false);
         },
         9},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.drop(3, 1, 'h');
        const Lines start = f.text.lines();
        c.write(f);
        const Lines written = f.text.lines();
        f.staff.GoBack();
        for (std::size_t k = 0; k < written.size(); ++k)
            EXPECT_EQ(f.text.lines()[k], written[k].substr(0, written[k].size() - c.removed))
                << c.name << " line " << k;
        if (c.removed == 3 && std::string(c.name) != "chord" && std::string(c.name) != "rest")
            EXPECT_EQ(f.text.lines(), start) << c.name;
    }
}

TEST(GoBack, StopsAtTheHeadsAndNeverLeavesTheBlock)
{
    Fixture f;
    f.staff.setTabWidth(8);
    f.drop(1, 1);
    f.drop(2, 2);
    f.drop(3, 3); // opens the second block
    ASSERT_EQ(f.staff.state().blockStart, 6);
    for (int i = 0; i < 4; ++i)
        f.staff.GoBack();
    EXPECT_EQ(f.text.line(6), "| ");
    EXPECT_EQ(f.text.line(9), "A ");
    EXPECT_EQ(f.text.line(11), "> ");
    EXPECT_EQ(f.text.line(1), "G --1----") << "the first block keeps its notes and fill";
}

TEST(GoBack, OnAFilledBlockRemovesTheFillWithTheLastNote)
{
    Fixture f;
    f.staff.setTabWidth(20);
    f.drop(5, 1);
    f.drop(12, 2, 'e', Technique::Triplet);
    f.staff.JumpLine();
    f.staff.GoBack();
    EXPECT_EQ(f.text.lines(), (Lines{"|   q", "G --5", "D ---", "A ---", "E ---", ">    "}));
    f.staff.GoBack();
    f.staff.GoBack();
    EXPECT_EQ(f.text.lines(), (Lines{"| ", "G ", "D ", "A ", "E ", "> "}));
}

TEST(GoBack, WorksAfterAFillOfBlanksHoldingARest)
{
    Fixture f;
    f.staff.setTabWidth(6);
    f.drop(5, 1);
    f.staff.JumpLine();
    f.staff.setRest('w', false); // rests go on the filled block
    f.staff.GoBack();
    EXPECT_EQ(f.text.line(0), "|   q  ");
    f.staff.GoBack();
    EXPECT_EQ(f.text.line(0), "| ");
}

// The user may delete or shorten lines in the text area; every writer must cope.
TEST(HandDamage, NoWriterCrashesOrReachesOutsideTheBlock)
{
    const Lines damaged[] = {
        {"|   q", "G --3", "D ---", "E ---", ">    "},        // a string line deleted
        {"|   q", "G -", "D ---", "A ---", "E ---", ">    "}, // a line shortened
        {"|   q", "", "D ---", "A ---", "E ---", ">    "},    // a line emptied
        {"prelude by hand", "|   q"},                         // a block mostly gone
    };
    const std::pair<const char*, void (*)(Fixture&)> actions[] = {
        {"note", [](Fixture& f) { f.drop(4, 1); }},
        {"slide", [](Fixture& f) { f.drop(4, 1, 'q', Technique::Slide); }},
        {"chord", [](Fixture& f) { f.drop(4, 2, 'q', Technique::Chord); }},
        {"triplet", [](Fixture& f) { f.drop(4, 4, 'q', Technique::Triplet); }},
        {"rest", [](Fixture& f) { f.staff.setRest('e', true); }},
        {"rep", [](Fixture& f) { f.staff.RepeatLast(false); }},
        {"repTriplet", [](Fixture& f) { f.staff.RepeatLast(true); }},
        {"back", [](Fixture& f) { f.staff.GoBack(); }},
        {"newLine", [](Fixture& f) { f.staff.JumpLine(); }},
    };
    for (const Lines& lines : damaged) {
        for (const auto& [name, act] : actions) {
            for (int width : {80, 4}) {
                Fixture f(lines);
                f.staff.setTabWidth(width);
                act(f);
                act(f);
                const int grown = f.text.count() - static_cast<int>(lines.size());
                EXPECT_TRUE(grown == 0 || grown % 6 == 0) << name << ": lines added one by one";
                const auto kept = std::min<std::size_t>(lines.size(), 1);
                EXPECT_EQ(f.text.lines().front().substr(0, 2), lines.front().substr(0, 2 * kept))
                    << name;
            }
        }
    }
}

} // namespace
} // namespace quorlin::engine
