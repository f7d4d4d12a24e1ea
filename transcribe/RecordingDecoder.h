#pragma once

// A recording read from an open decoder: the part asked for, its channels mixed to one, its
// rate brought to kAnalysisRate, and the limits on all of it. Apart from opening the file, so
// that the fuzz target reads bytes through exactly this.

#include "audio/SoundFile.h"
#include "transcribe/Recording.h"

#include <string>

namespace quorlin::transcribe {

// libsndfile's own rates run from a few hundred to 655,350 Hz; outside these a recording is
// a damaged header more likely than sound.
inline constexpr int kLowestFileRate = 1000;
inline constexpr int kHighestFileRate = 768000;

// What to say, after the file's name, of a file no decoder takes.
inline constexpr const char* kNotASoundFile = "is not a sound file Quorlin can read";

// Why no file can give `span` (a start below 0, an end not after the start, more than an
// hour); empty when any long enough could.
std::string spanProblem(const Span& span);

RecordingReading decodeRecording(audio::SoundFileReader& reader, const Span& span,
                                 const Progress& progress);

// "3:25" or "3:25.4", as the messages give a place in the file.
std::string clockTime(double seconds);

} // namespace quorlin::transcribe
