#include "engine/Position.h"

#include "tabtext/Marks.h"

namespace quorlin::engine {

LastNote lastNoteOf(const tabtext::Reading& reading)
{
    const std::vector<tabtext::Block>& blocks = reading.layout.blocks;
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
        for (std::size_t b = block->beatCount; b-- > 0;) {
            const model::Beat& beat = reading.track.beats[block->firstBeat + b];
            if (beat.rest())
                continue;
            const model::Note* last = nullptr;
            bool lastMarked = false;
            for (const model::Note& note : beat.notes) {
                const bool marked =
                    tabtext::cellMarkOf(*block, b, beat, note) != tabtext::kPlainMark;
                if (last == nullptr || (lastMarked && !marked) ||
                    (marked == lastMarked && note.string < last->string)) {
                    last = &note;
                    lastMarked = marked;
                }
            }
            return {last->string, last->fret};
        }
    }
    return {};
}

} // namespace quorlin::engine
