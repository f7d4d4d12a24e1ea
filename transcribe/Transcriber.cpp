#include "transcribe/Transcriber.h"

#include "score/Fingering.h"
#include "transcribe/BeatGrid.h"
#include "transcribe/Frames.h"
#include "transcribe/Notes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorlin::transcribe {

namespace {

constexpr double kSilent = -60;       // dB: a loudest frame under this is silence
constexpr double kLeastVoiced = 0.25; // share of sounding frames with a pitch, for a bass line
constexpr double kLeastLow = 0.5;     // share of the energy under 1.2 kHz, for a bass alone
constexpr double kMostChords = 0.5;
constexpr double kMostDoubtful = 0.75;
constexpr std::size_t kFewestToJudge = 4;
constexpr std::int64_t kBar = 4 * files::kSongTicksPerQuarter;

std::string clock(double seconds)
{
    const auto tenths = static_cast<long>(std::lround(std::max(0.0, seconds) * 10));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

files::Song songOf(const std::vector<HeardNote>& notes, const BeatGrid& grid, double tempo,
                   const TranscribeOptions& options)
{
    files::Song song;
    song.title = "Transcribed recording";
    song.tempos.push_back({0, 0, tempo});
    files::SongTrack track;
    track.name = "Bass";
    track.instrument = "Electric Bass";
    track.midiProgram = 33;
    track.tuning = options.openPitches;
    const std::vector<Placed> placed = placeOnGrid(notes, grid);
    std::int64_t end = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        files::SongNote note;
        note.bar = static_cast<int>(placed[i].start / kBar);
        note.start = placed[i].start % kBar;
        note.length = placed[i].length;
        note.pitch = notes[i].pitch;
        note.technique = notes[i].technique;
        end = std::max(end, placed[i].start + placed[i].length);
        track.notes.push_back(note);
    }
    const auto bars = static_cast<std::size_t>(std::max<std::int64_t>(1, (end + kBar - 1) / kBar));
    song.bars.assign(bars, files::SongBar{kBar, 4, 4, false, 0, 0, {}});
    song.tracks.push_back(std::move(track));
    return song;
}

// Notes the strings cannot reach are an octave off, or not the bass at all: below the lowest
// open string, or above the highest string's last fret.
void keepPlayable(std::vector<HeardNote>& notes, const std::vector<int>& open)
{
    if (open.empty())
        return;
    const int lowest = *std::min_element(open.begin(), open.end());
    const int highest = *std::max_element(open.begin(), open.end()) + score::kHighestFret;
    const auto octave = [](HeardNote& n, int step) {
        n.pitch += step;
        n.doubt = "octave";
        n.confidence = std::min(n.confidence, 0.4);
    };
    for (HeardNote& n : notes) {
        while (n.pitch < lowest && n.pitch + 12 <= lowest + 24)
            octave(n, 12);
        while (n.pitch > highest && n.pitch - 12 >= lowest)
            octave(n, -12);
    }
    std::erase_if(notes, [&](const HeardNote& n) { return n.pitch < lowest || n.pitch > highest; });
}

} // namespace

Transcription transcribe(const Recording& recording, const TranscribeOptions& options,
                         const Progress& progress)
{
    Transcription result;
    result.tempoGiven = options.tempo.has_value();
    bool stopped = false;
    auto frameProgress = [&](double share) {
        if (progress && !progress(0.9 * share))
            stopped = true;
        return !stopped;
    };
    const std::vector<Frame> frames = analyse(recording.samples, frameProgress);
    if (stopped) {
        result.cancelled = true;
        return result;
    }
    const Loudness loud = loudness(frames);
    if (frames.empty() || loud.peak < kSilent) {
        result.noBassLine = "the recording is silent";
        return result;
    }
    if (loud.voiced < kLeastVoiced) {
        result.noBassLine = "nothing in it has a clear pitch (noise, drums or speech?)";
        return result;
    }
    if (loud.lowShare < kLeastLow) {
        result.noBassLine = "it sounds like a full mix or another instrument, not a bass alone";
        return result;
    }
    result.notes = notesBetween(frames, attacks(frames, loud), loud);
    keepPlayable(result.notes, options.openPitches);
    if (result.notes.empty()) {
        result.noBassLine = "no notes with a clear pitch were heard";
        return result;
    }
    const auto several = std::count_if(result.notes.begin(), result.notes.end(),
                                       [](const HeardNote& n) { return n.doubt == kSeveralNotes; });
    const auto doubtful = std::count_if(result.notes.begin(), result.notes.end(),
                                        [](const HeardNote& n) { return !n.doubt.empty(); });
    const double count = double(result.notes.size());
    // Chords say so however few the notes; doubt alone needs a few notes to judge by.
    const bool chords = double(several) > kMostChords * count;
    if (chords ||
        (result.notes.size() >= kFewestToJudge && double(doubtful) > kMostDoubtful * count)) {
        result.noBassLine = chords ? "it holds chords, not a bass line alone"
                                   : "most of what it holds has no single clear pitch";
        result.notes.clear();
        return result;
    }
    if (several > 0)
        result.remarks.push_back(std::to_string(several) + (several == 1 ? " place" : " places") +
                                 " with several notes at once, written as one");
    const BeatGrid grid = findBeat(result.notes, options.tempo);
    result.tempo = options.tempo ? *options.tempo : 60 / grid.period;
    result.firstBeat = grid.first;
    result.song = songOf(result.notes, grid, std::round(result.tempo), options);
    if (progress)
        progress(1);
    return result;
}

std::string transcriptionSummary(const Transcription& t)
{
    if (!t.noBassLine.empty())
        return "no bass line found: " + t.noBassLine;
    const auto doubtful = std::count_if(t.notes.begin(), t.notes.end(),
                                        [](const HeardNote& n) { return !n.doubt.empty(); });
    std::string text = std::to_string(t.notes.size()) + (t.notes.size() == 1 ? " note" : " notes") +
                       " written at " + std::to_string(std::lround(t.tempo)) + " bpm" +
                       (t.tempoGiven ? " (as given)" : "");
    if (doubtful > 0)
        text += "; " + std::to_string(doubtful) + " doubtful";
    for (const std::string& remark : t.remarks)
        text += "; " + remark;
    return text;
}

std::vector<std::string> doubtfulNotes(const Transcription& t)
{
    std::vector<std::string> lines;
    for (const HeardNote& n : t.notes)
        if (!n.doubt.empty())
            lines.push_back(clock(n.onset) + " " + n.doubt);
    return lines;
}

} // namespace quorlin::transcribe
