#pragma once

// The tab as a MusicXML 3.1 score for notation programs: one electric bass part on two
// staves, standard notation in the bass clef an octave above the sound and the tablature
// below it, the same notes on both. Notes carry their pitch; on the tab staff also their
// string and fret. Measures follow the time signature; what crosses a bar line is split and
// tied. pugixml builds every element, one measure at a time, so that the score of a long tab
// never stands whole as a tree in memory. No Qt here.

#include "files/SongHeader.h"
#include "model/TimeSignature.h"
#include "score/Key.h"
#include "score/Score.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace quorlin::files {

struct MusicXmlOptions {
    // The measures: the tab's own time signature, unless the user gives another.
    int beats = 4;
    int beatType = 4;
    // The first comment line becomes the work title.
    bool titleFromComments = false;
    // The key signature, and the key every note is spelled in; found from the notes when unset.
    std::optional<score::Key> key;
};

// The first comment line without its surrounding blanks; empty when there is none.
std::string commentTitle(const SongHeader& header);

// Throws std::out_of_range for a time signature model::isValid refuses, or a key of more
// than seven sharps or flats. An empty score
// gives one measure of rest.
std::string musicXmlText(const score::Score& score, const instrument::Tuning& tuning,
                         const SongHeader& header, const MusicXmlOptions& options = {});
void writeMusicXml(std::ostream& out, const score::Score& score, const instrument::Tuning& tuning,
                   const SongHeader& header, const MusicXmlOptions& options = {});

} // namespace quorlin::files
