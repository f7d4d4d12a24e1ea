#pragma once

// Frames made notes: attacks found in the spectral flux, each stretch between two attacks
// read for its steady pitches (a new pitch without an attack is a hammer-on, pull-off or a
// slide, by how it gets there), its end, and how sure we are.

#include "transcribe/Frames.h"
#include "transcribe/Transcriber.h"

#include <vector>

namespace quorlin::transcribe {

// The doubt of a note whose period is that of several notes sounding together.
inline constexpr const char* kSeveralNotes = "several notes at once";

struct Loudness {
    double peak = -120;  // dB of the loudest frame
    double floor = -120; // the level below which nothing is a note
    double voiced = 0;   // share of the frames above the floor that have a clear pitch
    double lowShare = 1; // share of the energy of sounding frames below 1.2 kHz
    // Semitones the instrument is tuned away from A at 440 Hz (within half a semitone), so
    // that a bass tuned a little sharp is not heard a semitone off note by note.
    double tuning = 0;
    // The aperiodicity under which a frame has a pitch.
    double clear = 0.3;
};

Loudness loudness(const std::vector<Frame>& frames);

// The attacks, as frame indexes, in time order.
std::vector<std::size_t> attacks(const std::vector<Frame>& frames, const Loudness& loud);

std::vector<HeardNote> notesBetween(const std::vector<Frame>& frames,
                                    const std::vector<std::size_t>& attacks, const Loudness& loud);

} // namespace quorlin::transcribe
