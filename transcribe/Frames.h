#pragma once

// What the analysis looks at, every few milliseconds of a recording: the pitch a YIN
// difference function finds with how periodic the sound is there, the loudness, the spectral
// flux that marks attacks, and how bright the sound is (the click of a slap or pop).

#include "transcribe/Recording.h"

#include <cstddef>
#include <vector>

namespace quorlin::transcribe {

inline constexpr int kHop = 32; // samples at kAnalysisRate: 4 ms
inline constexpr double kFrameSeconds = double(kHop) / kAnalysisRate;
// The lowest note looked for is a little under B0 (30.9 Hz), the highest a little over G4.
inline constexpr double kLowestHz = 29;
inline constexpr double kHighestHz = 440;

struct Frame {
    float hz = 0;           // the period found, as a frequency; 0 where none is
    float aperiodicity = 1; // YIN's normalised difference at that period: 0 for a pure tone
    float level = -120;     // dB of the mean square, full scale 0 dB
    float flux = 0;         // log-spectral rise since a few frames before
    float bright = -120;    // dB of what lies above 1.2 kHz
    // The share of the first two harmonics among the first eight of the pitch found: a bass
    // note has it high; a chord's common period has it near nothing.
    float lowPartials = 1;
};

// Frame i is centred on i * kFrameSeconds. Null progress is allowed; false from it stops early
// with the frames so far.
std::vector<Frame> analyse(const std::vector<float>& samples, const Progress& progress);

double frameTime(std::size_t frame);
double midiOf(double hz);

} // namespace quorlin::transcribe
