#pragma once

// Songs built by hand for the import's tests where a reader would give them: one bar of
// "Night Walk" by "The Band", its bass playing quarters on the A string.

#include "files/Song.h"

namespace quorlin::files::testing {

// Frets 3, 5, 7, 5, the second note `late` ticks after its beat and that much shorter.
inline SongTrack bassQuarters(std::int64_t late = 0)
{
    constexpr std::int64_t q = kSongTicksPerQuarter;
    SongTrack bass;
    bass.name = "Bass";
    bass.tuning = {43, 38, 33, 28};
    const int frets[] = {3, 5, 7, 5};
    for (int i = 0; i < 4; ++i) {
        const std::int64_t delay = i == 1 ? late : 0;
        bass.notes.push_back({i * q + delay, q - delay, 0, 33 + frets[i], 3, frets[i]});
    }
    return bass;
}

// The song around the bass: its title, artist and one bar of 4/4.
inline SongReading nightWalk(std::vector<SongTrack> tracks)
{
    SongReading reading;
    reading.song.title = "Night Walk";
    reading.song.artist = "The Band";
    SongBar bar;
    bar.length = 4 * kSongTicksPerQuarter;
    reading.song.bars = {bar};
    reading.song.tracks = std::move(tracks);
    return reading;
}

} // namespace quorlin::files::testing
