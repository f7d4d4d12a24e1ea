#pragma once

// Another string count or tuning for a written tab: the string lines of every block are written
// anew so that each note sounds the pitch it sounded before. Rhythm and articulation lines, and
// every line outside the blocks, are left as they are, so the rhythm cannot change. No Qt here.

#include "instrument/Tuning.h"
#include "score/Score.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::score {

struct Setup {
    instrument::StringCount strings;
    instrument::Tuning tuning;

    bool operator==(const Setup&) const = default;
};

// Where a note stood: blocks and their read columns counted from 1, as the window lists them.
struct Unplaced {
    int block = 0;
    int column = 0;
    int pitch = 0; // MIDI key

    bool operator==(const Unplaced&) const = default;
};

// A hammer-on, pull-off or slide that could not stay on the string of the note before it: it
// now stands plain on another string.
struct LostTie {
    int block = 0;
    int column = 0;
    int pitch = 0;
    Technique technique = Technique::Plain; // what it was

    bool operator==(const LostTie&) const = default;
};

struct Retuned {
    std::vector<std::string> lines; // the whole tab for the new set-up
    std::vector<Unplaced> unplaced; // no string of the new set-up reaches them: left out
    std::vector<LostTie> lostTies;
    // The columns the reader could not read, where they now stand. With the same string count
    // their cells are kept as they were; with another their string cells are left blank.
    std::vector<Skip> unread;
};

// Notes stay on their string while it can play them: the string tuned to the note theirs was
// (the nearest to its place; of two as near, the upper), else the one at the same place (G D A E B,
// the high C). Otherwise they go where `chooseFingering` plays them, over the whole tab around the
// notes that stay. Ties follow the note before them, a triplet's notes the first. Throws
// std::invalid_argument when a string of `to` has a name that is no note.
Retuned retune(std::span<const std::string_view> lines, const Setup& from, const Setup& to);

// "B0", "F#2": sharps only, as the neck names notes.
std::string pitchName(int pitch);

} // namespace quorlin::score
