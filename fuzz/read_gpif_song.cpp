// A Guitar Pro 6 to 8 score (score.gpif) from anywhere: the reader never crashes, hangs or
// reads out of bounds, and a song it reads holds only what the rest of the import relies on.

#include "files/GpifImport.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <string_view>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const files::SongReading reading =
        files::readGpifSong(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!reading.ok())
        return 0;
    const files::Song& song = reading.song;
    QUORLIN_REQUIRE(song.bars.size() <= files::kMostSongBars);
    QUORLIN_REQUIRE(song.tracks.size() <= files::kMostSongTracks);
    for (const files::SongBar& bar : song.bars)
        QUORLIN_REQUIRE(bar.length > 0 && bar.beats > 0 && bar.beatType > 0 && bar.repeatEnd >= 0);
    for (const files::SongTempo& tempo : song.tempos)
        QUORLIN_REQUIRE(tempo.bar >= 0 && tempo.bar < static_cast<int>(song.bars.size()) &&
                        tempo.start >= 0 && tempo.quartersPerMinute > 0);
    QUORLIN_REQUIRE(std::ranges::is_sorted(
        song.tempos, {}, [](const auto& t) { return std::pair(t.bar, t.start); }));
    std::size_t notes = 0;
    for (const files::SongTrack& track : song.tracks) {
        QUORLIN_REQUIRE(!track.percussion || track.tuning.empty());
        QUORLIN_REQUIRE(std::ranges::is_sorted(
            track.notes, {}, [](const auto& n) { return std::pair(n.bar, n.start); }));
        for (const files::SongNote& note : track.notes) {
            QUORLIN_REQUIRE(note.bar >= 0 && note.bar < static_cast<int>(song.bars.size()));
            QUORLIN_REQUIRE(note.start >= 0 && note.length > 0);
            QUORLIN_REQUIRE(note.voice >= 0 && note.voice < 4);
            QUORLIN_REQUIRE(note.pitch >= 0 && note.pitch <= 127);
            if (track.percussion)
                QUORLIN_REQUIRE(note.string == 0);
            else
                QUORLIN_REQUIRE(note.string >= 1 &&
                                note.string <= static_cast<int>(track.tuning.size()) &&
                                note.fret >= 0);
        }
        notes += track.notes.size();
    }
    QUORLIN_REQUIRE(notes <= files::kMostSongNotes);
    return 0;
}
