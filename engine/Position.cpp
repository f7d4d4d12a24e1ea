#include "engine/Position.h"

#include "tabtext/TabFormat.h"

#include <climits>

namespace quorlin::engine {

using namespace quorlin::tabtext;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

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

LastNote lastNoteOf(std::span<const std::string_view> stringLines)
{
    LastNote note;
    std::string_view noteLine;
    bool markedNote = false;
    for (std::size_t s = 0; s < stringLines.size(); ++s) {
        std::string_view line = stringLines[s];
        const std::size_t end = line.find_last_not_of(kFill);
        line = line.substr(0, end == std::string_view::npos ? 0 : end + 1);
        if (line.size() <= kHeadLength || line.size() < noteLine.size())
            continue;
        // A chord's marked note (its technique's, a triplet's own) is dropped first, so a
        // plain note of the chord is the one a slide after it goes on from.
        const bool marked =
            line.size() >= kHeadLength + kCellWidth && line[line.size() - kCellWidth] != kPlainMark;
        if (line.size() > noteLine.size() || (markedNote && !marked)) {
            noteLine = line;
            markedNote = marked;
            note.string = static_cast<int>(s) + 1;
        }
    }
    if (note.string != 0)
        note.fret = trailingNumber(noteLine.substr(kHeadLength));
    return note;
}

} // namespace quorlin::engine
