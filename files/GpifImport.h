#pragma once

// Guitar Pro 6, 7 and 8 files. Both keep the score as one XML document, score.gpif: the
// newer .gp inside a zip, the older .gpx inside its own sector file system (GpxContainer).
// Read: the song's text, tempo changes, bars with their time signatures, repeats, endings
// and directions, and every track's tuning, capo and notes with their techniques and marks.
// Lyrics, the mixer, chord diagrams, fingering, dynamics and the page layout are read past.
// No Qt.

#include "files/Song.h"

#include <string_view>

namespace quorlin::files {

// The score.gpif document itself.
SongReading readGpifSong(std::string_view xml);
// A .gp file: a zip holding Content/score.gpif.
SongReading readGuitarPro7Song(std::string_view bytes);
// A .gpx file: "BCFZ" or "BCFS" holding score.gpif.
SongReading readGuitarPro6Song(std::string_view bytes);

} // namespace quorlin::files
