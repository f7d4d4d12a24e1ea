// A MIDI file from anywhere: it is read or refused with a reason, never more than the limits,
// and what is read is a song the conversion can take: every note inside the bars, in time
// order, a pitch MIDI has, no place on a string; tempos in their bars, the first at the start.

#include "files/MidiImport.h"
#include "fuzz/FuzzInput.h"

#include <cmath>
#include <string_view>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const files::SongReading r =
        files::readMidiSong(std::string_view(reinterpret_cast<const char*>(data), size));
    const files::Song& song = r.song;
    if (!r.ok()) {
        QUORLIN_REQUIRE(song.tracks.empty() && song.bars.empty() && song.tempos.empty());
        return 0;
    }
    QUORLIN_REQUIRE(song.bars.size() <= files::kMostSongBars);
    QUORLIN_REQUIRE(song.tracks.size() <= files::kMostSongTracks);
    std::vector<std::int64_t> starts;
    std::int64_t end = 0;
    for (const files::SongBar& b : song.bars) {
        QUORLIN_REQUIRE(b.beats >= 1 && b.beats <= 255);
        QUORLIN_REQUIRE(b.beatType >= 1 && b.beatType <= 64 &&
                        (b.beatType & (b.beatType - 1)) == 0);
        // Cut short only by the next signature.
        QUORLIN_REQUIRE(b.length > 0 &&
                        b.length <= b.beats * 4 * files::kSongTicksPerQuarter / b.beatType);
        QUORLIN_REQUIRE(!b.repeatStart && b.repeatEnd == 0 && b.endings == 0);
        starts.push_back(end);
        end += b.length;
    }
    std::size_t notes = 0;
    for (const files::SongTrack& t : song.tracks) {
        QUORLIN_REQUIRE(!t.notes.empty() && t.tuning.empty() && !t.name.empty());
        QUORLIN_REQUIRE(t.midiProgram >= -1 && t.midiProgram < 128 && !t.instrument.empty());
        std::int64_t previous = -1;
        for (const files::SongNote& n : t.notes) {
            QUORLIN_REQUIRE(n.bar >= 0 && static_cast<std::size_t>(n.bar) < song.bars.size());
            QUORLIN_REQUIRE(n.start >= 0 &&
                            n.start < song.bars[static_cast<std::size_t>(n.bar)].length);
            const std::int64_t at = starts[static_cast<std::size_t>(n.bar)] + n.start;
            QUORLIN_REQUIRE(at >= previous);
            previous = at;
            QUORLIN_REQUIRE(n.length > 0 && at + n.length <= end);
            QUORLIN_REQUIRE(n.pitch >= 0 && n.pitch < 128);
            QUORLIN_REQUIRE(n.string == 0 && n.fret == -1 && n.voice == 0 && !n.tiedToNext);
        }
        notes += t.notes.size();
    }
    QUORLIN_REQUIRE(notes <= files::kMostSongNotes);
    std::int64_t previous = -1;
    for (const files::SongTempo& t : song.tempos) {
        QUORLIN_REQUIRE(t.bar >= 0 && static_cast<std::size_t>(t.bar) < song.bars.size());
        QUORLIN_REQUIRE(t.start >= 0 &&
                        t.start < song.bars[static_cast<std::size_t>(t.bar)].length);
        const std::int64_t at = starts[static_cast<std::size_t>(t.bar)] + t.start;
        QUORLIN_REQUIRE(at > previous && (previous >= 0 || at == 0));
        previous = at;
        QUORLIN_REQUIRE(std::isfinite(t.quartersPerMinute) && t.quartersPerMinute > 0);
    }
    return 0;
}
