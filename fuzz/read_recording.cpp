// A sound file from anywhere, decoded as the sound module decodes it (libsndfile over the
// bytes in memory), then mixed and brought to 8 kHz. It is read or refused with a reason;
// what is read is no longer than the part asked for, every sample finite and bounded, and it
// starts where the part does. What is read is then heard with the default options: a bass
// line or the reason there is none, every note inside the part and on the strings, and the
// song made a tab as the song import makes one.

#include "audio/SoundFile.h"
#include "files/SongToTab.h"
#include "fuzz/FuzzInput.h"
#include "transcribe/RecordingDecoder.h"
#include "transcribe/Transcriber.h"

#include <algorithm>
#include <cmath>

using namespace quorlin;

// libsndfile 1.2.0 loses the Vorbis set-up of an Ogg file it gives up on while opening it: a
// few kilobytes for each damaged file, its leak and not ours, so not a failure here.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libvorbis.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the part: a start of 0 to 0.75 s and a length of 0.25 to 4 s, so
    // that each input stays quick and seeking is tried.
    const double start = (data[0] & 15) * 0.05;
    const double length = 0.25 * (1 + (data[0] >> 4));
    std::string why;
    const auto reader = audio::module::openSoundBytes(data + 1, size - 1, why);
    if (!reader) {
        QUORLIN_REQUIRE(!why.empty());
        return 0;
    }
    int told = 0;
    double last = 0;
    const transcribe::RecordingReading reading =
        transcribe::decodeRecording(*reader, {start, start + length}, [&](double share) {
            QUORLIN_REQUIRE(share >= last && share <= 1);
            last = share;
            ++told;
            return true;
        });
    const transcribe::Recording& r = reading.recording;
    QUORLIN_REQUIRE(!reading.cancelled);
    if (!reading.ok()) {
        QUORLIN_REQUIRE(r.samples.empty());
        return 0;
    }
    QUORLIN_REQUIRE(told > 0 && last == 1);
    QUORLIN_REQUIRE(r.fileRate >= transcribe::kLowestFileRate &&
                    r.fileRate <= transcribe::kHighestFileRate && r.fileChannels >= 1);
    QUORLIN_REQUIRE(!r.samples.empty());
    // The part's ends each fall on the nearest frame of the file.
    QUORLIN_REQUIRE(r.samples.size() <=
                    std::ceil((length + 1.0 / r.fileRate) * transcribe::kAnalysisRate) + 1);
    QUORLIN_REQUIRE(std::abs(r.start - start) <= 0.5 / r.fileRate);
    QUORLIN_REQUIRE(r.fileSeconds > r.start);
    // Samples are held within a thousand times full scale; the filter's overshoot stays
    // under twice that.
    for (const float v : r.samples)
        QUORLIN_REQUIRE(std::isfinite(v) && std::abs(v) <= 2000);

    const transcribe::TranscribeOptions options;
    const transcribe::Transcription heard = transcribe::transcribe(r, options, {});
    QUORLIN_REQUIRE(!heard.cancelled && !transcribe::transcriptionSummary(heard).empty());
    if (!heard.noBassLine.empty()) {
        QUORLIN_REQUIRE(heard.notes.empty());
        return 0;
    }
    const double seconds = double(r.samples.size()) / transcribe::kAnalysisRate;
    const int lowest = *std::min_element(options.openPitches.begin(), options.openPitches.end());
    QUORLIN_REQUIRE(!heard.notes.empty());
    QUORLIN_REQUIRE(std::isfinite(heard.tempo) && heard.tempo > 0);
    QUORLIN_REQUIRE(std::isfinite(heard.firstBeat));
    for (const transcribe::HeardNote& n : heard.notes) {
        QUORLIN_REQUIRE(n.onset >= 0 && n.onset < n.offset && n.offset <= seconds + 0.05);
        QUORLIN_REQUIRE(n.pitch >= lowest && n.pitch < 128);
        QUORLIN_REQUIRE(n.confidence >= 0 && n.confidence <= 1);
    }
    QUORLIN_REQUIRE(heard.song.tracks.size() == 1);
    const files::SongTrack& track = heard.song.tracks[0];
    QUORLIN_REQUIRE(track.notes.size() == heard.notes.size() &&
                    track.tuning == options.openPitches);
    for (std::size_t i = 0; i < track.notes.size(); ++i) {
        const files::SongNote& n = track.notes[i];
        QUORLIN_REQUIRE(n.pitch == heard.notes[i].pitch && n.length > 0);
        QUORLIN_REQUIRE(n.bar >= 0 && std::size_t(n.bar) < heard.song.bars.size());
        QUORLIN_REQUIRE(n.start >= 0 && n.start < heard.song.bars[std::size_t(n.bar)].length);
    }
    // Every note heard is one the strings reach, so each is written.
    const files::SongTab tab = files::songToTab(heard.song, 0, {});
    QUORLIN_REQUIRE(!tab.tab.lines.empty() && tab.tab.notes == int(heard.notes.size()));
    return 0;
}
