// The tab text's cells read back as they are written, and durations last what music says.

#include "tabtext/TabFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace quorlin::tabtext {
namespace {

using Kind = StringCell::Kind;

struct CellCase {
    const char* cell;
    StringCell expected;
};

class ReadStringCell : public testing::TestWithParam<CellCase> {};

TEST_P(ReadStringCell, TellsNotesFromEmptyAndForeignCells)
{
    EXPECT_EQ(readStringCell(GetParam().cell), GetParam().expected) << GetParam().cell;
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ReadStringCell,
    testing::Values(CellCase{"---", {Kind::Empty}}, CellCase{"--0", {Kind::Note, '-', 0}},
                    CellCase{"--9", {Kind::Note, '-', 9}}, CellCase{"-10", {Kind::Note, '-', 10}},
                    CellCase{"-24", {Kind::Note, '-', 24}}, CellCase{"H-5", {Kind::Note, 'H', 5}},
                    CellCase{"P12", {Kind::Note, 'P', 12}}, CellCase{"/-3", {Kind::Note, '/', 3}},
                    CellCase{"\\17", {Kind::Note, '\\', 17}}, CellCase{"~~5", {Kind::Note, '~', 5}},
                    CellCase{"~12", {Kind::Note, '~', 12}},
                    // A fret past the neck, or one written with a leading zero.
                    CellCase{"-25", {Kind::Bad}}, CellCase{"-05", {Kind::Bad}},
                    CellCase{"H99", {Kind::Bad}},
                    // Pads that belong to another mark, and marks no writer makes.
                    CellCase{"~-5", {Kind::Bad}}, CellCase{"-~5", {Kind::Bad}},
                    CellCase{"H~5", {Kind::Bad}}, CellCase{"h-5", {Kind::Bad}},
                    CellCase{"x-5", {Kind::Bad}}, CellCase{"--x", {Kind::Bad}},
                    CellCase{"-- ", {Kind::Bad}}, CellCase{"   ", {Kind::Bad}},
                    CellCase{"-5-", {Kind::Bad}}, CellCase{"=-5", {Kind::Bad}}));

TEST(NoteCell, EveryMarkAndFretReadsBackAsWritten)
{
    for (const char mark : {'-', '~', 'H', 'P', '/', '\\'}) {
        for (int fret = 0; fret <= 24; ++fret) {
            const std::string cell = noteCell(mark, fret);
            ASSERT_EQ(cell.size(), 3u) << mark << fret;
            // The fret's digits always end the cell, whatever pads them.
            EXPECT_TRUE(cell.ends_with(std::to_string(fret))) << cell;
            EXPECT_EQ(readStringCell(cell), (StringCell{Kind::Note, mark, fret})) << cell;
        }
    }
}

TEST(NoteCell, OfAFretOffTheNeckIsABrokenPrecondition)
{
    for (const int fret : {-1, 25, 100, INT_MIN})
        EXPECT_THROW(noteCell('-', fret), std::out_of_range) << fret;
}

struct RhythmCase {
    const char* line;
    std::size_t at;
    bool cell;
    Duration duration; // when a cell starts there
};

class RhythmCells : public testing::TestWithParam<RhythmCase> {};

TEST_P(RhythmCells, StartWhereADurationIsWritten)
{
    const RhythmCase& c = GetParam();
    ASSERT_EQ(rhythmCellAt(c.line, c.at), c.cell) << '"' << c.line << "\" at " << c.at;
    if (c.cell) {
        EXPECT_EQ(durationAt(c.line, c.at), c.duration) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RhythmCells,
    testing::Values(RhythmCase{"|   q", 2, true, {'q', false}},
                    RhythmCase{"|  w.", 2, true, {'w', true}},
                    RhythmCase{"|   s e.  h", 5, true, {'e', true}},
                    RhythmCase{"|   s e.  h", 8, true, {'h', false}},
                    // Fill, then a dotted rest after "New line": the cell is the later one.
                    RhythmCase{"|     e.", 4, false, {}},
                    RhythmCase{"|     e.", 5, true, {'e', true}}, RhythmCase{"|   q", 3, false, {}},
                    RhythmCase{"|   x", 2, false, {}}, RhythmCase{"|  q ", 2, false, {}},
                    RhythmCase{"|  q", 2, false, {}}, RhythmCase{"|   Q", 2, false, {}},
                    RhythmCase{"|  .q", 2, false, {}}, RhythmCase{"|", 2, false, {}}));

struct TicksCase {
    char symbol;
    bool dotted;
    std::int64_t ticks; // at 480 to the quarter note
};

class Ticks : public testing::TestWithParam<TicksCase> {};

TEST_P(Ticks, AreThoseOfTheNoteValue)
{
    const auto [symbol, dotted, ticks] = GetParam();
    EXPECT_EQ(writtenTicks(symbol, dotted), ticks) << symbol << dotted;
    // Three triplet notes take the time of two plain ones.
    EXPECT_EQ(3 * tripletTicks(writtenTicks(symbol, dotted)), 2 * ticks) << symbol << dotted;
}

INSTANTIATE_TEST_SUITE_P(Palette, Ticks,
                         testing::Values(TicksCase{'s', false, 120}, TicksCase{'e', false, 240},
                                         TicksCase{'q', false, 480}, TicksCase{'h', false, 960},
                                         TicksCase{'w', false, 1920}, TicksCase{'s', true, 180},
                                         TicksCase{'e', true, 360}, TicksCase{'q', true, 720},
                                         TicksCase{'h', true, 1440}, TicksCase{'w', true, 2880}));

TEST(Ticks, OfALetterOffThePaletteAreABrokenPrecondition)
{
    for (const char symbol : {'x', 'Q', ' ', '.', '\0'})
        EXPECT_THROW(durationTicks(symbol), std::invalid_argument) << int(symbol);
}

TEST(LastDurationLetter, IsTheLastColumnsLetterWithOrWithoutItsDot)
{
    const std::pair<const char*, char> cases[] = {
        {"|   q", 'q'}, {"|   q  e.", 'e'}, {"|   q     ", ' '}, {"", ' '}, {".", '.'}};
    for (const auto& [line, letter] : cases)
        EXPECT_EQ(lastDurationLetter(line), letter) << '"' << line << '"';
}

} // namespace
} // namespace quorlin::tabtext
