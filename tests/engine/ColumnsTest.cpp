// Triplets, rests, "Rep" and "<-": the writers that add or take whole columns.

#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorlin::engine {
namespace {

// A four-string block holding `columns` rests of q: a rhythm line of 2 + 3 * columns.
Lines restBlock(int columns)
{
    Lines lines{"| ", "G ", "D ", "A ", "E ", "> "};
    for (int c = 0; c < columns; ++c) {
        for (std::size_t k = 0; k < lines.size(); ++k)
            lines[k] += k == 0 ? "  q" : k == 5 ? "  r" : "---";
    }
    return lines;
}

TEST(WriteTriplet, WritesThreeNotesWithTheirTildes)
{
    const std::tuple<int, bool, const char*, const char*> cases[] = {
        {0, false, "|   e  e  e", "D --0~~0~~0"},
        {7, false, "|   e  e  e", "D --7~~7~~7"},
        {12, false, "|   e  e  e", "D -12~12~12"},
        {5, true, "|  e. e. e.", "D --5~~5~~5"}};
    for (const auto& [fret, dotted, rhythm, target] : cases) {
        Fixture f;
        EXPECT_EQ(f.drop(fret, 2, 'e', Technique::Triplet, dotted), DropOutcome::Written);
        EXPECT_EQ(f.text.lines(), (Lines{rhythm, "G ---------", target, "A ---------",
                                         "E ---------", ">          "}));
        EXPECT_EQ(f.staff.state().lastFret, fret);
    }
}

TEST(WriteTriplet, FitsUpToTheWidthAndOpensANewBlockPastIt)
{
    Fixture fits(restBlock(23)); // 71 characters
    fits.staff.WriteTriplet(3, 7, 'q', false);
    EXPECT_EQ(fits.text.count(), 6);
    EXPECT_EQ(fits.text.line(0).size(), 80u);

    Lines longer = restBlock(23);
    for (auto& line : longer)
        line += line[0] == '|' || line[0] == '>' ? " " : "-";
    Fixture spills(longer); // 72 characters
    spills.staff.WriteTriplet(3, 7, 'q', false);
    EXPECT_EQ(spills.text.line(0).size(), 81u);
    EXPECT_EQ(spills.staff.state().blockStart, 6);
    EXPECT_EQ(Lines(spills.text.lines().begin() + 6, spills.text.lines().end()),
              (Lines{"|   q  q  q", "G ---------", "D ---------", "A --7~~7~~7", "E ---------",
                     ">          "}));
}

TEST(SetRest, OpensABlankHeadedBlockIgnoresTheWidthAndLeavesTheLastNote)
{
    Fixture f;
    f.staff.setRest('q', false);
    EXPECT_EQ(f.text.lines(), (Lines{"|   q", "G ---", "D ---", "A ---", "E ---", "    r"}));
    EXPECT_FALSE(f.staff.state().setupUnlocked) << "the block fixes the strings";
    EXPECT_FALSE(f.staff.state().chordAvailable);

    f.staff.setTabWidth(4);
    f.staff.WriteTriplet(3, 7, 'e', false);
    f.staff.setRest('h', true);
    EXPECT_EQ(f.text.count(), 12);
    EXPECT_EQ(f.text.line(6), "|   e  e  e h.");
    EXPECT_EQ(f.text.line(11), ">            r");
    EXPECT_EQ(f.staff.state().lastString, 3);
}

TEST(RepeatLast, CopiesTheLastColumnsWhereTheyFit)
{
    struct Case {
        int strings, columns; // notes already written: a rhythm line of 2 + 3 * columns
        bool triplet, newBlock;
    };
    const Case cases[] = {{4, 25, false, false},
                          {4, 26, false, true},
                          {6, 26, false, true},
                          {4, 23, true, false},
                          {4, 24, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.strings << " strings, " << c.columns << " columns");
        Fixture f;
        f.staff.setStringCount(c.strings);
        for (int i = 0; i < c.columns; ++i)
            f.drop(i % 10, 1 + i % c.strings, 'e');
        const Lines before = f.text.lines();
        const std::size_t width = c.triplet ? 9 : 3;

        f.staff.RepeatLast(c.triplet);

        const int lines = c.strings + 2;
        ASSERT_EQ(f.text.count(), c.newBlock ? 2 * lines : lines);
        for (int k = 0; k < lines; ++k) {
            const std::string& was = before[static_cast<std::size_t>(k)];
            const std::string piece = was.substr(was.size() - width);
            if (c.newBlock) {
                EXPECT_EQ(f.text.line(k).size(), 81u) << "the old block is filled after";
                EXPECT_EQ(f.text.line(lines + k), was.substr(0, 2) + piece);
            } else {
                EXPECT_EQ(f.text.line(k), was + piece);
            }
        }
    }

    for (const auto& [lines, triplet] :
         {std::pair{Lines{}, false}, {restBlock(0), false}, {restBlock(2), true}}) {
        Fixture f(lines);
        f.staff.RepeatLast(triplet);
        EXPECT_EQ(f.text.lines(), lines) << "too few columns to copy";
    }
}

TEST(GoBack, RemovesTheLastNoteOrTheTripletItEnds)
{
    const std::pair<std::size_t, void (*)(Fixture&)> cases[] = {
        {3, [](Fixture& f) { f.drop(5, 2); }},
        {9, [](Fixture& f) { f.drop(5, 2, 'e', Technique::Triplet); }},
        {3, [](Fixture& f) { f.staff.setRest('q', false); }},
        {3, [](Fixture& f) { f.drop(5, 2, 'e'), f.drop(7, 4, 'e', Technique::Chord); }},
        // A repeated triplet column still carries its "~": three columns go.
        {9, [](Fixture& f) { f.drop(5, 2, 'e', Technique::Triplet), f.staff.RepeatLast(false); }},
    };
    for (const auto& [removed, write] : cases) {
        Fixture f;
        f.drop(3, 1, 'h');
        write(f);
        const Lines written = f.text.lines();
        f.staff.GoBack();
        for (std::size_t k = 0; k < written.size(); ++k)
            EXPECT_EQ(f.text.lines()[k], written[k].substr(0, written[k].size() - removed));
    }
}

TEST(GoBack, TakesTheFillWithTheLastNoteAndStopsAtTheHeads)
{
    Fixture f;
    f.staff.setTabWidth(20);
    f.drop(5, 1);
    f.drop(12, 2, 'e', Technique::Triplet);
    f.staff.JumpLine();
    f.staff.setRest('w', false); // a rest goes on the filled block
    f.staff.GoBack();
    EXPECT_EQ(f.text.line(0).size(), 21u);
    f.staff.GoBack();
    EXPECT_EQ(f.text.lines(), (Lines{"|   q", "G --5", "D ---", "A ---", "E ---", ">    "}));
    for (int i = 0; i < 3; ++i)
        f.staff.GoBack();
    EXPECT_EQ(f.text.lines(), (Lines{"| ", "G ", "D ", "A ", "E ", "> "}));

    Fixture two;
    two.staff.setTabWidth(8);
    for (int row : {1, 2, 3})
        two.drop(row, row); // the third note opens a second block
    two.staff.GoBack();
    two.staff.GoBack();
    EXPECT_EQ(two.text.line(6), "| ");
    EXPECT_EQ(two.text.line(1), "G --1----") << "never leaves the current block";
}

// The user may delete or shorten lines in the text area; no writer may crash, add single
// lines or write over the text above the block.
TEST(HandDamage, NoWriterCrashesOrReachesOutsideTheBlock)
{
    const Lines damaged[] = {
        {"|   q", "G --3", "D ---", "E ---", ">    "},        // a string line deleted
        {"|   q", "G -", "D ---", "A ---", "E ---", ">    "}, // a line shortened
        {"|   q", "", "D ---", "A ---", "E ---", ">    "},    // a line emptied
        {"prelude by hand", "|   q"},                         // most of the block gone
        {"|   q  e"},                                         // only the rhythm line left
        Lines(6, "typed"), // a block's worth typed into the empty tab, set-up still free
        {"|   q", "G --5", "D \xC3\xA9xy", "A ---", "E ---", ">    "}, // an accent typed
    };
    void (*const actions[])(Fixture&) = {
        [](Fixture& f) { f.drop(4, 1); },
        [](Fixture& f) { f.drop(4, 1, 'q', Technique::Slide); },
        [](Fixture& f) { f.drop(4, 2, 'q', Technique::Chord); },
        [](Fixture& f) { f.drop(4, 4, 'q', Technique::Triplet); },
        [](Fixture& f) { f.staff.setRest('e', true); },
        [](Fixture& f) { f.staff.RepeatLast(false); },
        [](Fixture& f) { f.staff.RepeatLast(true); },
        [](Fixture& f) { f.staff.GoBack(); },
        [](Fixture& f) { f.staff.JumpLine(); },
    };
    // The accent is two bytes: a line with an odd count of such bytes lost half of one.
    const auto accentBytes = [](const std::string& line) {
        return std::count_if(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; });
    };
    for (const Lines& lines : damaged) {
        for (std::size_t a = 0; a < std::size(actions); ++a) {
            for (int width : {80, 4}) {
                Fixture f(lines);
                f.staff.setTabWidth(width);
                actions[a](f);
                actions[a](f);
                const int grown = f.text.count() - static_cast<int>(lines.size());
                EXPECT_EQ(grown % 6, 0) << "action " << a << ": lines added one by one";
                EXPECT_EQ(f.text.line(0).substr(0, 2), lines[0].substr(0, 2)) << "action " << a;
                if (f.text.count() > static_cast<int>(lines.size())) {
                    EXPECT_FALSE(f.staff.state().setupUnlocked)
                        << "action " << a << ": a new block fixes the strings";
                }
                for (const std::string& line : f.text.lines())
                    EXPECT_EQ(accentBytes(line) % 2, 0) << "action " << a << ": " << line;
                // A block opened below the damage starts clean, whatever was copied into it.
                const int start = f.staff.state().blockStart;
                for (int k = 1; start >= static_cast<int>(lines.size()) && k < 6; ++k)
                    EXPECT_EQ(f.text.line(start + k).size(), f.text.line(start).size())
                        << "action " << a << ": line " << k << " of the new block out of step";
            }
        }
    }
}

} // namespace
} // namespace quorlin::engine
