#pragma once

// Where on the neck to play notes a file gives only as pitches: the string and fret of each.
// Retuning, importing and transcribing share it. No Qt here.

#include <span>
#include <vector>

namespace quorlin::score {

// A note to place: its pitch, and the chord it sounds in (notes of one chord share `chord`,
// notes one after another have rising numbers).
struct ToPlace {
    int pitch = 0; // MIDI key
    int chord = 0;
    int string = 0; // when not 0, the string it stays on if that string reaches it and is free
};

struct Place {
    int string = 0; // 1 the highest; 0 when no string of the set-up reaches the pitch
    int fret = -1;

    bool operator==(const Place&) const = default;
};

inline constexpr int kHighestFret = 24;

// One place per note, in order. `openPitches` are the strings' open pitches, string 1 (the
// highest) first, six at most. The places are the ones a bassist would play, chosen over the whole
// line: the hand (its first finger's fret) covers four frets low on the neck and five from the
// ninth up, shifting costs more than crossing strings, open strings sound from anywhere. A chord's
// notes go on strings of their own, within one hand where they can; more notes than strings, or
// notes no string reaches, are left at string 0.
std::vector<Place> chooseFingering(std::span<const ToPlace> notes, std::span<const int> openPitches,
                                   int highestFret = kHighestFret);

} // namespace quorlin::score
