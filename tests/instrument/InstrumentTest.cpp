// The instrument's set-up: tuning rows, the note cycle and the store that keeps them.

#include "instrument/NoteCycle.h"
#include "instrument/Settings.h"
#include "tests/instrument/MemoryStore.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quorlin::instrument {
namespace {

using namespace std::string_literals;

std::string names(const Tuning& t)
{
    std::string out;
    for (int k = 1; k <= kMaxStrings; ++k)
        out += t.at(k);
    return out;
}

TEST(Tuning, NamesMoveOnlyWhenSixStringsComeOrGoAndNothingReachesPastSix)
{
    Tuning t;
    t.set(2, "C#"); // a retuned string moves with its row
    const std::tuple<int, int, const char*> steps[] = {
        {4, 5, "G C#A E B C "}, {5, 6, "C G C#A E B "}, {6, 6, "C G C#A E B "},
        {6, 5, "G C#A E B B "}, {5, 4, "G C#A E B B "}, {4, 6, "C G C#A E B "}};
    for (const auto& [from, to, expected] : steps) {
        t.followStringCount(from, to);
        EXPECT_EQ(names(t), expected) << from << " to " << to;
    }
    EXPECT_THROW(t.at(0), std::out_of_range);
    EXPECT_THROW(t.set(7, "A "), std::out_of_range);
    for (auto [given, taken] : {std::pair{-3, 4}, {3, 4}, {5, 5}, {7, 6}, {256, 6}})
        EXPECT_EQ(StringCount(given).value(), taken) << given;
}

TEST(TuningText, ReadLowestFirstAsTheTuningLineShowsThemAndWrittenBack)
{
    // Typed, then the count and strings 1.. as read ("" when refused), then as written back.
    const std::tuple<const char*, int, const char*, const char*> rows[] = {
        {"E A D G", 4, "G D A E ", "E A D G"},
        {" B, E,A D  G ", 5, "G D A E B ", "B E A D G"},
        {"B E A D G C", 6, "C G D A E B ", "B E A D G C"},
        {"D A D G", 4, "G D A D ", "D A D G"},
        {"Eb Ab Db Gb", 4, "F#C#G#D#", "D# G# C# F#"},
        {"C# F# B E", 4, "E B F#C#", "C# F# B E"},
        {"Cb Fb Bb Eb", 4, "D#A#E B ", "B E A# D#"},
        {"E A D", 0, "", ""},
        {"B E A D G C F", 0, "", ""},
        {"e a d g", 0, "", ""},
        {"E# A D G", 0, "", ""},
        {"E A D Gx", 0, "", ""},
        {"", 0, "", ""},
    };
    for (const auto& [typed, count, read, written] : rows) {
        const auto tuning = readTuningText(typed);
        ASSERT_EQ(tuning.has_value(), count > 0) << typed;
        if (!tuning)
            continue;
        EXPECT_EQ(tuning->first.value(), count) << typed;
        EXPECT_EQ(names(tuning->second).substr(0, 2 * static_cast<std::size_t>(count)), read)
            << typed;
        EXPECT_EQ(tuningText(tuning->first, tuning->second), written) << typed;
    }
    // The usual tuning of each count is what a bassist tunes to.
    for (const auto& [count, usual] :
         {std::pair{4, "E A D G"}, {5, "B E A D G"}, {6, "B E A D G C"}})
        EXPECT_EQ(tuningText(StringCount(count), standardTuning(StringCount(count))), usual);
}

TEST(NoteCycle, StepsOneSemitoneAndStepsOddNamesOntoTheCycle)
{
    std::string walked = "A ";
    for (int step = 0; step < 12; ++step)
        walked += noteAbove(walked.substr(walked.size() - 2));
    EXPECT_EQ(walked, "A A#B C C#D D#E F F#G G#A ");
    for (std::size_t i = 2; i < walked.size(); i += 2)
        EXPECT_EQ(noteBelow(walked.substr(i, 2)), walked.substr(i - 2, 2));
    for (const char* odd : {"", " A", "H ", "a ", "Bb", "A#B"}) {
        EXPECT_FALSE(isNoteName(odd)) << odd;
        EXPECT_EQ(noteAbove(odd) + noteBelow(odd), "A A ") << "onto the cycle, not half a name";
    }
}

TEST(LoadSetup, TakesTheKeptNamesThatAreOnTheCycle)
{
    // The names as stored, and the string count and tuning read from them.
    const std::tuple<std::string, int, const char*> cases[] = {
        {std::string(300, 'A'), 4, "G D A E B C "}, // more than fits
        // A last name of one character, as a hand-written value leaves it, is not lost.
        {"F#D A E B\0"s, 5, "F#D A E B C "},
        {"C G D A E B", 6, "C G D A E B "},
        {"G D A E #\0"s, 5, "G D A E B C "}, // "# " is off the cycle
        {"A", 4, "A D A E B C "},
        {"A#xy\0"s, 4, "A#D A E B C "},             // a name off the cycle
        {"A A A A A A C#C#\0"s, 6, "A A A A A A "}, // cut after six
        {"E \0B B B B "s, 4, "E D A E B C "},       // nothing after the NUL
    };
    for (const auto& [strings, count, tuning] : cases) {
        testing::MemoryStore store;
        store.put(kKeepValue, "\1", ValueType::Binary);
        store.put(kStringsValue, strings);
        const KeptSetup s = loadSetup(store);
        EXPECT_EQ(
            std::tuple(s.keepTuning, s.strings.value(), names(s.tuning), store.open, store.misused),
            std::tuple(true, count, tuning, false, false))
            << ::testing::PrintToString(strings);
    }
}

TEST(SaveSetup, WritesTheWishAndTheNamesInUseWithTheirTypes)
{
    KeptSetup five{true, StringCount(5), {}};
    five.tuning.set(1, "A ");
    testing::MemoryStore store, readOnly, expected;
    store.exists = false;
    readOnly.writable = false;
    saveSetup(store, five);
    saveSetup(readOnly, five);
    EXPECT_TRUE(readOnly.values.empty() && !store.open);
    expected.put(kStringsValue, "A D A E B \0"s);
    expected.put(kKeepValue, "\1", ValueType::Binary);
    EXPECT_EQ(store.values, expected.values);
    EXPECT_EQ(names(loadSetup(store).tuning), "A D A E B C ");

    five.keepTuning = false;
    five.tuning.set(1, "E ");
    saveSetup(store, five);
    EXPECT_EQ(store.values[kKeepValue].second, std::vector<std::uint8_t>{0});
    EXPECT_EQ(store.values[kStringsValue].second.front(), 'A') << "the old names stay";
}

} // namespace
} // namespace quorlin::instrument
