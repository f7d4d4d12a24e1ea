#pragma once

// How the engine writes one column's cells. Whatever rewrites a block in place (retuning)
// writes them through these, so that its text cannot drift from what the engine would write.

#include <string>

namespace quorlin::engine {

// "  q", or " q." when dotted: the rhythm cell of one column.
inline std::string rhythmCell(char symbol, bool dotted)
{
    return dotted ? std::string{' ', symbol, '.'} : std::string{' ', ' ', symbol};
}

// The fret as the last two characters of a cell: "-7" (padded with `pad`) or "12".
inline std::string fretDigits(int fret, char pad = '-')
{
    std::string digits = std::to_string(fret);
    if (fret < 10)
        digits.insert(digits.begin(), pad);
    return digits;
}

} // namespace quorlin::engine
