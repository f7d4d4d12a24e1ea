#pragma once

// A bass line heard in a recording: its notes with their onsets, pitches and lengths, the
// tempo and the beat grid, the techniques the attacks and glides show, and how sure each note
// is; then the same notes as a song of one track, which the song import makes a tab. No Qt.

#include "files/Song.h"
#include "files/SongToTab.h"
#include "transcribe/Recording.h"

#include <optional>
#include <string>
#include <vector>

namespace quorlin::transcribe {

struct TranscribeOptions {
    // Quarters per minute; found from the recording when not given.
    std::optional<double> tempo;
    // The strings' open pitches as MIDI keys, highest first (files::SongTrack::tuning).
    std::vector<int> openPitches{43, 38, 33, 28};
};

struct HeardNote {
    double onset = 0; // seconds from the start of the span
    double offset = 0;
    int pitch = 0;         // MIDI key
    double confidence = 0; // 0 to 1
    model::Technique technique = model::Technique::Plain;
    // Empty when sure; else what is in doubt ("pitch", "octave", "onset", "double stop").
    std::string doubt;
};

struct Transcription {
    std::vector<HeardNote> notes;
    double tempo = 120; // quarters per minute
    bool tempoGiven = false;
    double firstBeat = 0; // seconds from the start of the span
    // One track on the given tuning, 4/4 bars; notes[i] became song.tracks[0].notes[i].
    files::Song song;
    // Why no tab is written: "the recording is silent", "holds chords, not a bass line alone".
    std::string noBassLine;
    // Said besides the notes: "3 double stops written as their lower note".
    std::vector<std::string> remarks;
    bool cancelled = false;
};

Transcription transcribe(const Recording& recording, const TranscribeOptions& options,
                         const Progress& progress);

// "212 notes written at 96 bpm; 5 doubtful" for the status bar and stderr.
std::string transcriptionSummary(const Transcription& transcription);
// One line per doubtful note: "0:12.4 octave".
std::vector<std::string> doubtfulNotes(const Transcription& transcription);

} // namespace quorlin::transcribe
