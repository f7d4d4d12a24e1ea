#include "files/Position.h"

#include "engine/Staff.h"
#include "files/TextEncoding.h"

#include <climits>
#include <string_view>

namespace quorlin::files {

namespace {

// The number the text ends with, or 0. Frets have two digits, so a longer run saturates.
int trailingNumber(std::string_view text)
{
    std::size_t first = text.size();
    while (first > 0 && isDigit(text[first - 1]))
        --first;
    int value = 0;
    for (const char c : text.substr(first))
        value = value > (INT_MAX - 9) / 10 ? INT_MAX : value * 10 + (c - '0');
    return value;
}

} // namespace

EditingPosition impliedPosition(const std::vector<std::string>& lines, int stringCount)
{
    EditingPosition position;
    const long long start = static_cast<long long>(lines.size()) - (stringCount + 2);
    position.blockStart = start > 0 ? static_cast<int>(start) : 0;

    // The last note is the right-most one in the block, once the fill of "New line" is gone;
    // every note of a chord ends at the same place, and the first string of it wins.
    std::string_view noteLine;
    for (int s = 1; s <= stringCount; ++s) {
        const auto index = static_cast<std::size_t>(position.blockStart + s);
        std::string_view line = index < lines.size() ? lines[index] : std::string_view();
        const std::size_t end = line.find_last_not_of('-');
        line = line.substr(0, end == std::string_view::npos ? 0 : end + 1);
        if (line.size() > engine::kHeadLength && line.size() > noteLine.size()) {
            noteLine = line;
            position.lastString = s;
        }
    }
    if (position.lastString != 0)
        position.lastFret = trailingNumber(noteLine.substr(engine::kHeadLength));
    return position;
}

} // namespace quorlin::files
