#pragma once

#include <string>
#include <string_view>

namespace quorlin::instrument {

// The twelve names in rising semitone order from A, two characters each: a natural has a
// blank after its letter, a sharp a "#". There are no flats.
inline constexpr std::string_view kNoteCycle = "A A#B C C#D D#E F F#G G#";

bool isNoteName(std::string_view name);

// One semitone up or down, wrapping between "G#" and "A ". A name off the cycle (from a
// hand-edited file or store) steps onto it at "A " rather than into a half name.
std::string noteAbove(std::string_view name);
std::string noteBelow(std::string_view name);
// The note a fret sounds on a string tuned to `open`, without the blank of a natural;
// empty when the open name is off the cycle.
std::string noteAt(std::string_view open, int fret);

} // namespace quorlin::instrument
