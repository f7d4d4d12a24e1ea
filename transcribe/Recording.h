#pragma once

// A recording read for listening: one channel at the analysis rate, the part of the file the
// user asked for. Decoding goes through the sound module (libsndfile), so any rate, one or two
// channels, WAV, FLAC, Ogg/Vorbis and MP3. No Qt here.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlin::transcribe {

// Bass reaches about G4 (392 Hz); what matters above 4 kHz is only the click of an attack.
inline constexpr int kAnalysisRate = 8000;
// An hour, and a little over for a recording that runs past it by its fade.
inline constexpr double kLongestRecording = 3660;

// Where to listen, in seconds of the file; the whole file when not given.
struct Span {
    double start = 0;
    std::optional<double> end;
};

// Told the share done, from 0 to 1; false asks the work to stop.
using Progress = std::function<bool(double)>;

struct Recording {
    std::vector<float> samples; // mono, kAnalysisRate, the span only
    double start = 0;           // seconds into the file of samples[0]
    double fileSeconds = 0;     // the whole file's length
    int fileRate = 0;
    int fileChannels = 0;
};

struct RecordingReading {
    Recording recording;
    // For the user, after the file's name: "is not a sound file Quorlin can read".
    std::string error;
    bool cancelled = false;

    bool ok() const { return error.empty() && !cancelled; }
};

RecordingReading readRecording(const std::string& path, const Span& span, const Progress& progress);

} // namespace quorlin::transcribe
