#pragma once

#include "tabtext/TabCodec.h"

namespace quorlin::engine {

struct LastNote {
    int string = 0; // 0: no note
    int fret = 0;
};

// The last note of a reading: one of its last beat with notes, the fill of "New line" being
// no beat. Every note of a chord ends at the same place: the first string of it wins, a plain
// note before the marked one (a tie's, a triplet's own), which the writers drop first.
LastNote lastNoteOf(const tabtext::Reading& reading);

} // namespace quorlin::engine
