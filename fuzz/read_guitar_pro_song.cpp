// A Guitar Pro 3, 4 or 5 file from anywhere: the reader never crashes nor reads past the end,
// and a song it reads holds only what the rest of the import can rely on.

#include "files/GuitarProImport.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/SongChecks.h"

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
    fuzz::checkTabSong(song);
    QUORLIN_REQUIRE(!song.bars.empty() && !song.tracks.empty());
    for (const files::SongTrack& track : song.tracks) {
        QUORLIN_REQUIRE(track.tuning.size() <= 7);
        for (const files::SongNote& note : track.notes) {
            QUORLIN_REQUIRE(note.voice == 0 || note.voice == 1);
            if (!track.percussion)
                QUORLIN_REQUIRE(note.pitch ==
                                track.tuning[static_cast<std::size_t>(note.string - 1)] +
                                    track.capo + note.fret);
        }
    }
    return 0;
}
