#pragma once

// The beat under a bass line: its period from how the onsets repeat, its phase from where they
// fall, and the onsets placed on it as a tab writes them (sixteenths, or eighth triplets where
// a beat holds them).

#include "transcribe/Transcriber.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quorlin::transcribe {

struct BeatGrid {
    double period = 0.5; // seconds a beat
    double first = 0;    // seconds: the first beat, at or before the first onset
};

BeatGrid findBeat(const std::vector<HeardNote>& notes, std::optional<double> tempo);

// Each note's start and length in song ticks from the first beat.
struct Placed {
    std::int64_t start = 0;
    std::int64_t length = 0;
};
std::vector<Placed> placeOnGrid(const std::vector<HeardNote>& notes, const BeatGrid& grid);

} // namespace quorlin::transcribe
