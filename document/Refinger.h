#pragma once

// Where notes moved on the neck by a transposition are played: chosen again as a line.

#include "engine/Columns.h"

#include <span>
#include <vector>

namespace quorlin::document {

// The places of columns [first, last)'s notes moved by `semitones` (triplets taken whole), one
// per note, column by column, as `chooseFingering` plays them with the note columns just before
// and after the range kept where they are. String 0 where no string reaches a note.
// `openPitches[s - 1]` is string s's open pitch.
std::vector<engine::ColumnNote> refinger(std::span<const engine::Column> columns, std::size_t first,
                                         std::size_t last, int semitones,
                                         std::span<const int> openPitches);

} // namespace quorlin::document
