#pragma once

// Guitar Pro 3, 4 and 5 files (.gp3, .gp4, .gp5): the binary formats, read into a Song. The
// song's text, tempo and its changes, the bars with their time signatures, repeats and
// endings, and every track's tuning and notes with their techniques come across; lyrics,
// page and sound settings, chord diagrams and the rest of the mixer are read past. No Qt.

#include "files/Song.h"

#include <string_view>

namespace quorlin::files {

// Guitar Pro 6 to 8 files (.gpx, .gp) are handed on to files/GpifImport.h.
SongReading readGuitarProSong(std::string_view bytes);

} // namespace quorlin::files
