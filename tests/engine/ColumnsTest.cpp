// "New line", "Clear", triplets, rests, "Rep" and "<-": the writers of whole columns.

#include "tests/engine/Fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace quorlin::engine {
namespace {

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
    // A block typed by hand leaves the set-up free.
    Fixture typed(Lines{"| ", "G ", "D ", "A ", "E ", "> "});
    typed.staff.setRest('q', false);
    EXPECT_FALSE(typed.staff.state().setupUnlocked || typed.staff.state().chordAvailable)
        << "the block fixes the strings, but a chord needs a note";

    Fixture f;
    f.staff.setTabWidth(11);
    f.staff.setRest('q', false);
    EXPECT_EQ(f.drop(5, 2, 'e', Technique::Triplet, true), DropOutcome::Written); // 14: too wide
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
    f.drop(12, 1, 'e', Technique::Triplet);
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
    f.drop(12, 2, 'e', Technique::Triplet);
    f.staff.JumpLine();
    f.staff.setRest('w', false); // a rest goes on the filled block
    const auto back = [&f] {
        f.staff.GoBack();
        return f.text.line(0).size();
    };
    EXPECT_EQ(back(), 21u) << "the rest, not the fill";
    EXPECT_EQ(back(), 5u) << "the fill with the triplet";
    f.drop(5, 2, 'e');
    f.drop(7, 4, 'e', Technique::Chord);
    EXPECT_EQ(back(), 5u) << "the chord's column";
    f.drop(12, 2, 'e', Technique::Triplet);
    f.staff.RepeatLast(false);
    EXPECT_EQ(back(), 8u) << "a repeated triplet column still carries its \"~\"";
    EXPECT_EQ(back(), 5u);
    EXPECT_EQ(f.text.lines(), (Lines{"|   h", "G --3", "D ---", "A ---", "E ---", ">    "}));
}

// The user may delete or shorten lines in the text area; no writer may crash, add single
// lines, cut into a line's head or write over the text above the block.
TEST(HandDamage, NoWriterCrashesOrReachesOutsideTheBlock)
{
    const Lines damaged[] = {
        {"|   q", "G -", "", "E ---", ">    "}, // lines shortened, emptied and deleted
        {"prelude by hand", "|   q"},           // most of the block gone
        Lines(6, "typed"), // a block's worth typed into the empty tab, set-up still free
        {"|   q", "G --5", "D \xC3\xA9xy", "A ---", "E ---", ">    "}, // an accent typed
    };
    void (*const actions[])(Fixture&) = {
        [](Fixture& f) { f.drop(4, 1); },
        [](Fixture& f) { f.drop(4, 2, 'q', Technique::Chord); },
        [](Fixture& f) { f.drop(4, 4, 'q', Technique::Triplet); },
        [](Fixture& f) { f.staff.setRest('e', true); },
        [](Fixture& f) { f.staff.RepeatLast(false); },
        [](Fixture& f) { f.staff.RepeatLast(true); },
        [](Fixture& f) { f.staff.GoBack(); },
        [](Fixture& f) { f.staff.JumpLine(); },
    };
    for (const Lines& lines : damaged) {
        for (std::size_t a = 0; a < std::size(actions); ++a) {
            for (int width : {80, 4}) {
                SCOPED_TRACE(testing::Message() << "action " << a << ", width " << width);
                Fixture f(lines);
                f.staff.setTabWidth(width);
                actions[a](f);
                actions[a](f);
                const int added = f.text.count() - static_cast<int>(lines.size());
                EXPECT_EQ(added % 6, 0) << "lines added one by one";
                for (std::size_t k = 0; k < lines.size(); ++k) {
                    const std::string head = lines[k].substr(0, 2);
                    EXPECT_TRUE(f.text.line(static_cast<int>(k)).starts_with(head)) << k;
                }
                EXPECT_TRUE(added == 0 || !f.staff.state().setupUnlocked)
                    << "new block, free set-up";
                // The accent is two bytes: an odd count of such bytes is half of one.
                for (const std::string& line : f.text.lines())
                    EXPECT_EQ(std::ranges::count_if(line, [](char c) { return c & 0x80; }) % 2, 0)
                        << line;
                // A block opened below the damage starts clean, whatever was copied into it.
                const int start = f.staff.state().blockStart;
                for (int k = 1; start >= static_cast<int>(lines.size()) && k < 6; ++k)
                    EXPECT_EQ(f.text.line(start + k).size(), f.text.line(start).size()) << k;
            }
        }
    }
}

} // namespace
} // namespace quorlin::engine
