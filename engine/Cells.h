#pragma once

// How the engine writes one column's cells. Whatever rewrites a block in place (retuning)
// writes them through these, so that its text cannot drift from what the engine would write.

#include <algorithm>
#include <string>
#include <string_view>

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

// Characters as the text area counts them: text typed by hand may hold letters of several
// bytes, and columns line up on screen, not in memory.
inline std::size_t characterCount(std::string_view line)
{
    return static_cast<std::size_t>(std::ranges::count_if(
        line, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace quorlin::engine
