// A Guitar Pro 6 to 8 score (score.gpif) from anywhere: the reader never crashes, hangs or
// reads out of bounds, spends no more than its size allows, and a song it reads holds only
// what the rest of the import relies on.

#include "files/GpifImport.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/SongChecks.h"
#include "fuzz/WorkBudget.h"

#include <string_view>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    files::SongReading reading;
    {
        // Every beat and note a score names costs it a few bytes: a reading may allocate some
        // tens of times its text (the parsed document, the notes) and take a microsecond a byte.
        const fuzz::WorkBudget budget(size, 2 << 20, 64, 0.1, 1e-6);
        reading = files::readGpifSong(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    if (!reading.ok())
        return 0;
    fuzz::checkTabSong(reading.song);
    for (const files::SongTrack& track : reading.song.tracks)
        for (const files::SongNote& note : track.notes)
            QUORLIN_REQUIRE(note.voice >= 0 && note.voice < 4 && note.pitch >= 0 &&
                            note.pitch <= 127);
    return 0;
}
