// The hand-written bass lines of tests/score/BassLines.h through the whole road a MIDI file
// takes: each written as a Standard MIDI File byte by byte here (pitches only, a quarter
// each), read by the MIDI reader, made a tab on the line's own strings, and the tab read
// back. The fingering the tab ends with is measured against the one the bassist wrote.

#include "files/MidiImport.h"
#include "files/SongToTab.h"
#include "score/Score.h"
#include "tests/files/MidiBytes.h"
#include "tests/score/BassLines.h"

#include <gtest/gtest.h>

namespace quorlin::files {
namespace {

using namespace quorlin::score::testing;

// Format 0, 480 ticks a quarter, an electric bass (program 34, given as 33 from 0); every
// chord of the line a quarter after the one before.
std::string midiOf(const Written& line)
{
    using namespace testing::midi;
    std::vector<std::pair<std::uint32_t, std::string>> events = {{0, raw({0xC0, 33})}};
    for (std::size_t i = 0; i < line.notes.size();) {
        std::size_t end = i;
        while (end < line.notes.size() && line.notes[end].chord == line.notes[i].chord)
            ++end;
        for (std::size_t k = i; k < end; ++k)
            events.push_back({0, on(0, line.notes[k].pitch)});
        for (std::size_t k = i; k < end; ++k)
            events.push_back({k == i ? 480u : 0u, raw({0x80, line.notes[k].pitch, 0})});
        i = end;
    }
    return header(0, 1, 480) + track(events);
}

TEST(FingeringRoundTrip, BassLinesThroughMidiAndTheImport)
{
    Tally tally;
    for (const Line& line : kLines) {
        SCOPED_TRACE(line.name);
        const Written w = read(line.tuning, line.tab);
        const SongReading reading = readMidiSong(midiOf(w));
        ASSERT_TRUE(reading.ok()) << reading.error;
        ASSERT_EQ(reading.song.tracks.size(), 1u);
        Song song = reading.song;
        // The tab the line goes to has the line's strings.
        song.tracks[0].tuning = openPitches(line.tuning);
        const SongTab tab = songToTab(song, 0, {});
        ASSERT_EQ(static_cast<std::size_t>(tab.tab.strings.value()), song.tracks[0].tuning.size());
        std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
        const score::Score score =
            score::readScore(lines, tab.tab.strings, tab.tab.tuning, score::kDefaultTempo);

        // Column c holds chord c: each written note found in it by its pitch.
        std::vector<score::Place> places;
        std::size_t column = 0;
        for (std::size_t i = 0; i < w.notes.size(); ++i) {
            while (column < score.columns.size() && score.columns[column].rest)
                ++column;
            ASSERT_LT(column, score.columns.size()) << "note " << i << " is not in the tab";
            const std::vector<score::Note>& sounding = score.columns[column].notes;
            const auto found =
                std::find_if(sounding.begin(), sounding.end(),
                             [&](const score::Note& n) { return n.pitch == w.notes[i].pitch; });
            ASSERT_NE(found, sounding.end()) << "note " << i << ", pitch " << w.notes[i].pitch;
            places.push_back({found->string, found->fret});
            if (i + 1 == w.notes.size() || w.notes[i + 1].chord != w.notes[i].chord)
                ++column;
        }
        tally.add(w, places);
    }
    tally.print("fingering through MIDI and the import");
    RecordProperty("hand_travel_imported", tally.chosen);
    RecordProperty("hand_travel_written", tally.written);
    RecordProperty("same_string_percent", std::to_string(tally.share()));
    EXPECT_LE(tally.chosen, tally.written);
    EXPECT_GE(tally.share(), 80.0);
}

} // namespace
} // namespace quorlin::files
