// Notes moved an octave, played again as a line. On strings a fourth apart an octave is two
// strings and two frets away, or one string and seven: a bassist moves the shape there whole
// rather than run up one string past the fifteenth fret.

#include "document/Refinger.h"
#include "tests/score/BassLines.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorlin::document {
namespace {

using namespace quorlin::score::testing;

std::string namesOf(std::string_view tuning)
{
    std::string names;
    for (const char name : tuning) {
        if (name != ' ')
            names += name;
    }
    return names;
}

// "E3 A5+D7 r /E5 hA7" in string names: a column a word, chord notes joined by '+', "r" a rest,
// '/' a slide, 'h' a hammer-on.
std::vector<engine::Column> columnsOf(const std::string& names, const std::string& tab)
{
    std::vector<engine::Column> columns;
    std::istringstream in(tab);
    for (std::string word; in >> word;) {
        engine::Column column;
        engine::Technique technique = engine::Technique::Plain;
        if (word[0] == '/' || word[0] == 'h') {
            technique = word[0] == '/' ? engine::Technique::SlideUp : engine::Technique::HammerOn;
            word.erase(0, 1);
        }
        std::istringstream notes(word == "r" ? "" : word);
        for (std::string note; std::getline(notes, note, '+');)
            column.notes.push_back(
                {static_cast<int>(names.find(note[0])) + 1, std::stoi(note.substr(1))});
        column.setTechnique(technique);
        columns.push_back(column);
    }
    return columns;
}

TEST(Refinger, AnOctaveMovesTheShapeToTheNextStrings)
{
    struct Row {
        const char* name;
        std::string_view tuning;
        const char* tab;
        std::size_t first, last;
        int semitones;
        const char* placed; // the moved notes, "?" where nothing reaches one
    };
    const Row rows[] = {
        {"up: two strings over, as the hand held it", kFour, "E3 E5 A3 A5", 0, 4, 12,
         "D5 D7 G5 G7"},
        {"up from the D and A strings at the eighth fret: one string over, not frets 19 to 22",
         kFour, "A7 A8 A10 D7 D8 D10", 0, 6, 12, "D14 D15 D17 G14 G15 G17"},
        {"down: two strings under", kFour, "G5 G7 D5 D7", 0, 4, -12, "A3 A5 E3 E5"},
        {"the notes around stay and the hand comes from them", kFour, "E3 A3 E5 A5 r E3", 1, 4, 12,
         "G5 D7 G7"},
        {"nowhere on the neck", kFour, "G20 G24", 1, 2, 12, "?"},
        // Played apart, G7 would do, but a slide and a hammer-on need their string.
        {"a slide stays on the string it slides on", kFour, "E3 /E10", 0, 2, 12, "D5 D12"},
        {"a hammer-on after a rest too", kFour, "E3 r hE10", 0, 3, 12, "D5 D12"},
        // Not E17: the hand stays by E3.
        {"a hammer-on from a note that stays is an octave off: no string kept", kFour, "E3 hE5", 1,
         2, 12, "G2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<int> open = openPitches(row.tuning);
        const std::string names = namesOf(row.tuning);
        const std::vector<engine::Column> columns = columnsOf(names, row.tab);
        const std::vector<engine::ColumnNote> placed =
            refinger(columns, row.first, row.last, row.semitones, open);
        std::string got;
        for (const engine::ColumnNote& n : placed) {
            got += got.empty() ? "" : " ";
            got += n.string == 0
                       ? "?"
                       : names[static_cast<std::size_t>(n.string - 1)] + std::to_string(n.fret);
        }
        EXPECT_EQ(got, row.placed);
    }
}

} // namespace
} // namespace quorlin::document
