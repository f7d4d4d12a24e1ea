#pragma once

// A Standard MIDI File read as a song: format 0 or 1, ticks to the quarter note or SMPTE
// time, one track for each channel that plays notes (each MIDI track's channels apart in
// format 1), bars from the time signatures. MIDI says pitches, not places, so every note has
// string 0 and fret -1, and no track has a tuning. No Qt.

#include "files/Song.h"

#include <string_view>

namespace quorlin::files {

SongReading readMidiSong(std::string_view bytes);

// The General MIDI name of a 0-based program ("Electric Bass (finger)" for 33); empty outside
// 0 to 127.
std::string_view generalMidiProgramName(int program);

} // namespace quorlin::files
