// Retuning a written tab: where each note goes for another string count or tuning, what cannot
// go anywhere, and tabs the engine wrote coming back unchanged.

#include "score/Retune.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "tests/score/RetuneCheck.h"

#include <gtest/gtest.h>

namespace quorlin::score {
namespace {

using Lines = std::vector<std::string>;

// "G D A E ": the names two characters each, top string first; their number is the count.
Setup setup(std::string_view names)
{
    Setup s;
    s.strings = instrument::StringCount(static_cast<int>(names.size() / 2));
    for (int k = 1; k <= s.strings.value(); ++k)
        s.tuning.set(k, std::string(names.substr(static_cast<std::size_t>(2 * k - 2), 2)));
    return s;
}

Retuned retuned(const Lines& lines, const Setup& from, const Setup& to)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    Retuned r = retune(views, from, to);
    EXPECT_EQ(testing::retuneBroke(views, from, to, r), "");
    return r;
}

constexpr std::string_view kStandard = "G D A E ";
constexpr std::string_view kFive = "G D A E B ";
constexpr std::string_view kSix = "C G D A E B ";

TEST(Retune, NotesMoveToKeepTheirPitch)
{
    using T = Technique;
    struct Row {
        const char* name;
        std::string_view from, to;
        Lines tab, expected;
        std::vector<Unplaced> unplaced;
        std::vector<LostTie> lostTies = {};
    };
    const Row rows[] = {
        {"four strings to five: every string keeps its notes; text around blocks kept, an "
         "unreadable column left blank, the fill",
         kStandard,
         kFive,
         {"|   q  e  e  h", "G --------0---", "D --5---------", "A ---H-7------", "E -------12---",
          ">            r", "Song: test", "|   q  q  q    ", "G --2----------", "D ---X-5--4----",
          "A -------------", "E -------------", ">              ", "end"},
         {"|   q  e  e  h", "G --------0---", "D --5---------", "A ---H-7------", "E -------12---",
          "B ------------", ">            r", "Song: test", "|   q  q  q    ", "G --2   -------",
          "D ---   --4----", "A ---   -------", "E ---   -------", "B ---   -------",
          ">              ", "end"},
         {}},
        {"five to four: B0 fits nowhere, E1 on the open E, B1 nearest the hand; a slide follows "
         "its note, a hammer-on after a note left out cannot; a triplet that fits nowhere becomes "
         "rests, the tab has no triplet rest",
         kFive,
         kStandard,
         {"|   q  q  q  q", "G ------------", "D ------------",  "A --2---------", "E ------------",
          "B -----0--5-12", ">             ", "|   q  q  q  q",  "G ------------", "D ------------",
          "A ------------", "E ------------", "B --7\\-9--0H-5", ">             ", "|   e  e  e",
          "G ---------",    "D ---------",    "A ---------",     "E ---------",    "B --0~~0~~0",
          ">          "},
         {"|   q  q  q  q", "G ------------", "D ------------", "A --2--------2", "E --------0---",
          ">             ", "|   q  q  q  q", "G ------------", "D ------------", "A ------------",
          "E --2\\-4-----0", ">             ", "|   e  e  e", "G ---------", "D ---------",
          "A ---------", "E ---------", ">          "},
         {{1, 2, 23}, {2, 3, 23}, {3, 1, 23}, {3, 2, 23}, {3, 3, 23}},
         {{2, 4, 28, T::HammerOn}}},
        {"drop D: the low string two frets up, ties after it, a fret past 24 to the hand; with the "
         "same strings an unreadable column stays as it was",
         kStandard,
         "G D A D ",
         {"|   q  e  e  q  q", "G ---------------", "D ---------------", "A ---------------",
          "E --3H-5/-3-23P22", ">               ", "|   q  q  q    ", "G --2----------",
          "D ---X-5--4----", "A -------------", "E -------------", ">              "},
         {"|   q  e  e  q  q", "G -----------8P-7", "D ---------------", "A ---------------",
          "D --5H-7/-5------", ">               ", "|   q  q  q    ", "G --2----------",
          "D ---X-5--4----", "A -------------", "D -------------", ">              "},
         {}},
        {"drop D: a note landing on fret 24, the neck's last, keeps its string",
         kStandard,
         "G D A D ",
         {"|   q", "G ---", "D ---", "A ---", "E -22", ">    "},
         {"|   q", "G ---", "D ---", "A ---", "D -24", ">    "},
         {}},
        {"the D string's note on two D strings, one above its place and one below: the upper",
         kStandard,
         "D G D E ",
         {"|   q", "G ---", "D --5", "A ---", "E ---", ">    "},
         {"|   q", "D --5", "G ---", "D ---", "E ---", ">    "},
         {}},
        {"five to four: a triplet's mark on a note that fits nowhere goes to the chord note left",
         kFive,
         kStandard,
         {"|   e  e  e", "G ---------", "D ---------", "A --2--2--2", "E ---------", "B --0~~0~~0",
          ">          "},
         {"|   e  e  e", "G ---------", "D ---------", "A --2~~2~~2", "E ---------", ">          "},
         {{1, 1, 23}, {1, 2, 23}, {1, 3, 23}}},
        {"six to a whole step down: a string whose note is gone keeps its place, the high C's "
         "next one",
         kSix,
         "F C G D ",
         {"|   q", "C ---", "G --5", "D ---", "A ---", "E ---", "B ---", ">    "},
         {"|   q", "F --7", "C ---", "G ---", "D ---", ">    "},
         {}},
        {"six to four: the high C down a string, a chord that needs another string, the fret "
         "under the hand rather than an open string; a triplet keeps its string from a chord "
         "note at home there",
         kSix,
         kStandard,
         {"|   q  q  q", "C --0------", "G ---------", "D ---------", "A ---------", "E -----5---",
          "B -----5-10", ">          ", "|   e  e  e", "C --2~~2~~2", "G --------3", "D ---------",
          "A ---------", "E ---------", "B ---------", ">          "},
         {"|   q  q  q", "G --5------", "D ---------", "A -----0---", "E -----0--5", ">          ",
          "|   e  e  e", "G --7~~7~~7", "D --------8", "A ---------", "E ---------", ">          "},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Retuned r = retuned(row.tab, setup(row.from), setup(row.to));
        EXPECT_EQ(r.lines, row.expected);
        EXPECT_EQ(r.unplaced, row.unplaced);
        EXPECT_EQ(r.lostTies, row.lostTies);
    }
}

// Everything the engine writes, over several blocks: ties, chords, a triplet, slap, pop, rests,
// copies and "New line".
Lines engineTab(const Setup& s)
{
    using T = engine::Technique;
    using E = engine::Entry;
    engine::VectorTabText text;
    engine::Staff staff(text);
    staff.restoreSetup(s.strings, s.tuning);
    staff.setTabWidth(40);
    const int low = s.strings.value();
    const engine::Drop drops[] = {{3, low, 'q'},
                                  {5, low, 'e', T::HammerOn},
                                  {3, low, 'e', T::PullOff},
                                  {7, low, 'q', T::SlideUp},
                                  {2, 2, 'q', T::Plain, false, E::Chord},
                                  {4, 1, 'q', T::Plain, false, E::Chord},
                                  {0, 3, 'h', T::Slap},
                                  {12, 1, 's', T::Pop},
                                  {9, 1, 'w', T::SlideUp, true},
                                  {2, low - 1, 'e'}};
    for (const engine::Drop& drop : drops) {
        EXPECT_EQ(staff.Dropped(drop), engine::DropOutcome::Written);
        if (drop.symbol == 'h') {
            staff.WriteTriplet(2, 10, 'e', false);
            staff.RepeatLast(true);
            staff.setRest('q', true);
            staff.JumpLine();
        }
    }
    staff.RepeatLast(false);
    return text.lines();
}

TEST(Retune, EngineTabsComeBackUnchanged)
{
    // Each tab retuned to its own set-up, and there and back to the other.
    const std::pair<std::string_view, std::string_view> rows[] = {
        {kStandard, kFive},  {kStandard, kSix}, {kStandard, "F#C#G#D#"}, {kStandard, "C G D A E "},
        {"G D A D ", kFive}, {kFive, kSix},     {kSix, "C G D A D B "}};
    for (const auto& [own, other] : rows) {
        SCOPED_TRACE(std::string(own) + "to " + std::string(other));
        const Lines tab = engineTab(setup(own));
        ASSERT_GE(tab.size(), 2 * (setup(own).strings.value() + 2u)) << "one block only";
        const Retuned same = retuned(tab, setup(own), setup(own));
        EXPECT_EQ(same.lines, tab);
        const Retuned there = retuned(tab, setup(own), setup(other));
        EXPECT_TRUE(there.unplaced.empty() && there.lostTies.empty());
        EXPECT_EQ(retuned(there.lines, setup(other), setup(own)).lines, tab);
    }
}

TEST(Retune, NamesPitchesAndRefusesNamesThatAreNoNotes)
{
    const std::pair<int, const char*> names[] = {{23, "B0"}, {42, "F#2"}, {48, "C3"}, {11, "B-1"}};
    for (const auto& [pitch, name] : names)
        EXPECT_EQ(pitchName(pitch), name);
    const Lines tab = {"|   q", "G --5", "D ---", "A ---", "E ---", ">    "};
    for (const std::string_view to : {"G D A Bb", "G D A E", "G D H E "})
        EXPECT_THROW(retuned(tab, setup(kStandard), setup(to)), std::invalid_argument) << to;
}

} // namespace
} // namespace quorlin::score
