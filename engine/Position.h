#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quorlin::engine {

struct LastNote {
    int string = 0; // 0: no note
    int fret = 0;
};

// The last note of a block, given its string lines (string 1 first): the right-most note
// once the fill of "New line" is gone. Every note of a chord ends at the same place: the
// first string of it wins, a plain note before the marked one, which the writers drop first.
// A line past the text reads empty.
LastNote lastNoteOf(std::span<const std::string_view> stringLines);

} // namespace quorlin::engine
