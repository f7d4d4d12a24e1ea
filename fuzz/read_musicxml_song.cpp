// A MusicXML file from anywhere, plain or compressed: reading never crashes or hangs, and what
// it reads keeps the song's bounds: every note in a bar that exists, from its start on and in
// time order, of a pitch MIDI has; the limits on parts, bars and listed problems held.

#include "files/MusicXmlImport.h"

#include <cstdlib>
#include <string_view>
#include <tuple>

using namespace quorlin;

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const files::SongReading reading =
        files::readMusicXmlSong({reinterpret_cast<const char*>(data), size});
    if (!reading.ok()) {
        check(reading.song.tracks.empty() && reading.song.bars.empty());
        return 0;
    }
    const files::Song& song = reading.song;
    check(song.tracks.size() <= files::kMostSongTracks);
    check(song.bars.size() <= files::kMostSongBars);
    check(song.problems.size() <= 1001);
    for (const files::SongBar& bar : song.bars)
        check(bar.length > 0 && bar.beats >= 1 && bar.beatType >= 1 && bar.repeatEnd >= 0);
    const auto barCount = static_cast<int>(song.bars.size());
    for (std::size_t i = 0; i < song.tempos.size(); ++i) {
        const files::SongTempo& t = song.tempos[i];
        check(t.bar >= 0 && t.bar < barCount && t.start >= 0 && t.quartersPerMinute >= 1 &&
              t.quartersPerMinute <= 1000);
        check(i == 0 || std::tie(song.tempos[i - 1].bar, song.tempos[i - 1].start) <=
                            std::tie(t.bar, t.start));
    }
    for (const files::SongTrack& track : song.tracks) {
        for (const int pitch : track.tuning)
            check(pitch >= 0 && pitch <= 127);
        const files::SongNote* before = nullptr;
        for (const files::SongNote& n : track.notes) {
            check(n.bar >= 0 && n.bar < barCount);
            check(n.start >= 0 && n.start <= song.bars[static_cast<std::size_t>(n.bar)].length);
            check(n.length >= 0 && n.pitch >= 0 && n.pitch <= 127 && n.voice >= 0);
            check((n.string == 0) == (n.fret == -1));
            check(before == nullptr ||
                  std::tie(before->bar, before->start) <= std::tie(n.bar, n.start));
            before = &n;
        }
    }
    return 0;
}
