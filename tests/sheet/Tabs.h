#pragma once

// Tabs for the sheet's tests, written as the editor writes them: a rhythm cell per column,
// a cell per string (fill where nothing sounds) and the articulation line.

#include "score/Score.h"

#include <string>
#include <utility>
#include <vector>

namespace quorlin::sheet::test {

struct Col {
    std::string rhythm;                             // "  q", " e."
    std::vector<std::pair<int, std::string>> cells; // string, its cell: "--5", "H12", "~~3"
    char articulation = ' ';                        // '+' slap, '.' pop, 'r' rest
};

inline instrument::Tuning tuningFor(int strings)
{
    instrument::Tuning tuning;
    tuning.followStringCount(instrument::kMinStrings, strings);
    return tuning;
}

inline std::vector<std::string> block(int strings, const std::vector<Col>& cols)
{
    const instrument::Tuning tuning = tuningFor(strings);
    std::vector<std::string> lines{"| "};
    for (int s = 1; s <= strings; ++s)
        lines.push_back(tuning.at(s));
    lines.push_back("> ");
    for (const Col& c : cols) {
        lines[0] += c.rhythm;
        for (int s = 1; s <= strings; ++s) {
            std::string cell = "---";
            for (const auto& [string, text] : c.cells) {
                if (string == s)
                    cell = text;
            }
            lines[static_cast<std::size_t>(s)] += cell;
        }
        lines.back() += std::string("  ") + c.articulation;
    }
    return lines;
}

inline score::Score read(int strings, const std::vector<std::string>& lines)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    return score::readScore(views, instrument::StringCount(strings), tuningFor(strings),
                            score::kDefaultTempo);
}

// One column per rhythm cell, a note on string 1 at fret 5 in each.
inline std::vector<Col> notes(const std::vector<std::string>& rhythms)
{
    std::vector<Col> cols;
    for (const std::string& r : rhythms)
        cols.push_back({r, {{1, "--5"}}});
    return cols;
}

} // namespace quorlin::sheet::test
