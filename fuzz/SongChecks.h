#pragma once

// What every Guitar Pro reader's song must keep, whatever the file: the limits, bars of a
// length, tempos and notes in time order inside bars that exist, notes of a length on a
// string of their track (none on the drums). Each target adds what its format promises.

#include "files/Song.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <utility>

namespace quorlin::fuzz {

inline void checkTabSong(const files::Song& song)
{
    QUORLIN_REQUIRE(song.bars.size() <= files::kMostSongBars);
    QUORLIN_REQUIRE(song.tracks.size() <= files::kMostSongTracks);
    for (const files::SongBar& bar : song.bars)
        QUORLIN_REQUIRE(bar.length > 0 && bar.beats > 0 && bar.beatType > 0);
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
}

} // namespace quorlin::fuzz
