#pragma once

// MusicXML read into a Song: versions 1.0 to 4.0, partwise or timewise, as plain XML or
// compressed (.mxl, a zip whose META-INF/container.xml names the score). Each part becomes a
// track; its notes keep the pitch they sound (after <transpose>), their string and fret where
// the file gives them, and the techniques Quorlin plays. A part written twice, as notation and
// as tablature of the same notes, gives its notes once. No Qt.

#include "files/Song.h"

#include <string_view>

namespace quorlin::files {

SongReading readMusicXmlSong(std::string_view bytes);

} // namespace quorlin::files
