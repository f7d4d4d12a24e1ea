#pragma once

// The performance as a Standard MIDI File: format 1, 480 ticks to the quarter note, a tempo
// track and then one track for each channel the performance uses, in channel order. Times
// count from the performance's start, so a file of a range starts at once.

#include "score/Performance.h"

#include <iosfwd>
#include <string>

namespace quorlin::files {

std::string midiFileBytes(const score::Performance& performance);
void writeMidiFile(std::ostream& out, const score::Performance& performance);

} // namespace quorlin::files
