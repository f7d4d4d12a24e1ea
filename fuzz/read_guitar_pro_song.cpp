// A Guitar Pro 3, 4 or 5 file from anywhere: the reader never crashes nor reads past the end,
// and a song it reads holds only what the rest of the import can rely on.

#include "files/GuitarProImport.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <array>
#include <string>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: 0 the rest is the file; otherwise the rest follows the heading of one of
    // the versions, so that mutations are spent on what comes after it.
    static const std::array<std::string, 4> kVersions = {
        "FICHIER GUITAR PRO v3.00", "FICHIER GUITAR PRO v4.06", "FICHIER GUITAR PRO v5.00",
        "FICHIER GUITAR PRO v5.10"};
    const int mode = input.pick(5);
    std::string bytes;
    if (mode > 0) {
        const std::string& name = kVersions[static_cast<std::size_t>(mode - 1)];
        bytes = static_cast<char>(name.size()) + name;
        bytes.resize(31, '\0');
    }
    bytes += input.rest();
    const files::SongReading reading = files::readGuitarProSong(bytes);
    if (!reading.ok())
        return 0;
    const files::Song& song = reading.song;
    QUORLIN_REQUIRE(!song.bars.empty() && song.bars.size() <= files::kMostSongBars);
    QUORLIN_REQUIRE(!song.tracks.empty() && song.tracks.size() <= files::kMostSongTracks);
    for (const files::SongBar& bar : song.bars)
        QUORLIN_REQUIRE(bar.length > 0 && bar.beats > 0 && bar.beatType > 0);
    for (const files::SongTempo& tempo : song.tempos)
        QUORLIN_REQUIRE(tempo.bar >= 0 && tempo.bar < static_cast<int>(song.bars.size()) &&
                        tempo.start >= 0 && tempo.quartersPerMinute > 0);
    QUORLIN_REQUIRE(std::ranges::is_sorted(
        song.tempos, {}, [](const auto& t) { return std::pair(t.bar, t.start); }));
    std::size_t notes = 0;
    for (const files::SongTrack& track : song.tracks) {
        QUORLIN_REQUIRE(track.tuning.size() <= 7);
        QUORLIN_REQUIRE(!track.percussion || track.tuning.empty());
        QUORLIN_REQUIRE(std::ranges::is_sorted(
            track.notes, {}, [](const auto& n) { return std::pair(n.bar, n.start); }));
        for (const files::SongNote& note : track.notes) {
            QUORLIN_REQUIRE(note.bar >= 0 && note.bar < static_cast<int>(song.bars.size()));
            QUORLIN_REQUIRE(note.start >= 0 && note.length > 0);
            QUORLIN_REQUIRE(note.voice == 0 || note.voice == 1);
            if (track.percussion) {
                QUORLIN_REQUIRE(note.string == 0);
            } else {
                QUORLIN_REQUIRE(note.string >= 1 &&
                                note.string <= static_cast<int>(track.tuning.size()));
                QUORLIN_REQUIRE(note.fret >= 0 &&
                                note.pitch ==
                                    track.tuning[static_cast<std::size_t>(note.string - 1)] +
                                        track.capo + note.fret);
            }
        }
        notes += track.notes.size();
    }
    QUORLIN_REQUIRE(notes <= files::kMostSongNotes);
    return 0;
}
