#include "files/Position.h"

#include "engine/Position.h"

#include <string_view>

namespace quorlin::files {

EditingPosition impliedPosition(const std::vector<std::string>& lines, int stringCount)
{
    EditingPosition position;
    const long long start = static_cast<long long>(lines.size()) - (stringCount + 2);
    position.blockStart = start > 0 ? static_cast<int>(start) : 0;

    std::vector<std::string_view> stringLines;
    for (int s = 1; s <= stringCount; ++s) {
        const auto index = static_cast<std::size_t>(position.blockStart + s);
        stringLines.push_back(index < lines.size() ? lines[index] : std::string_view());
    }
    const engine::LastNote last = engine::lastNoteOf(stringLines);
    position.lastString = last.string;
    position.lastFret = last.fret;
    return position;
}

} // namespace quorlin::files
