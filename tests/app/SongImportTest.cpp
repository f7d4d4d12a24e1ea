// --import and --list-tracks without a window, with a reader built here in place of the
// formats' own: what lands in the output, on stderr and in the exit status.

#include "app/CommandLine.h"
#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"

#include "tests/files/HandSongs.h"
#include "tests/storage/ScratchFolder.h"

#include <gtest/gtest.h>

namespace quorlin::app {
namespace {

constexpr std::int64_t Q = files::kSongTicksPerQuarter;

// A MIDI file as far as the format goes: a piano track, then a bass with one bar of quarters,
// the second a fifth of a beat late.
files::SongReading twoTracks(std::string_view)
{
    files::SongTrack piano;
    piano.name = "Piano";
    piano.midiProgram = 0;
    for (int i = 0; i < 4; ++i)
        piano.notes.push_back({i * Q, Q, 0, 60 + i});
    files::SongReading reading =
        files::testing::nightWalk({piano, files::testing::bassQuarters(Q / 5)});
    reading.song.tempos = {{0, 0, 96}};
    return reading;
}

files::SongReading drumsOnly(std::string_view)
{
    files::SongReading reading = twoTracks({});
    reading.song.tracks.resize(1);
    reading.song.tracks[0].name = "Drums";
    reading.song.tracks[0].percussion = true;
    return reading;
}

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
    std::string written; // the output file, or "<none>"
};

Outcome importing(std::vector<std::string_view> args, files::SongReader reader,
                  const std::string& output)
{
    const CommandLine line = parseCommandLine(args);
    EXPECT_NE(line.mode, CommandLine::Mode::Invalid) << line.error;
    files::SongReaders readers;
    readers.midi = reader;
    Outcome result;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    result.status = runSongImport(line, readers);
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    const storage::FileContent content = storage::readRegularFile(output);
    result.written = content.ok ? content.bytes : "<none>";
    return result;
}

TEST(SongImport, ListsTheTracks)
{
    tests::ScratchFolder folder;
    const std::string song = folder / "song.mid";
    std::string problem;
    ASSERT_TRUE(storage::writeFile(song, "MThd", {}, problem));
    const Outcome listed = importing({"--list-tracks", song}, twoTracks, folder / "none");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "1\tPiano\t\t\t4\n2\tBass\t4\tE1 A1 D2 G2\t4\n");
}

TEST(SongImport, WritesTheBassTrackAndListsWhatMoved)
{
    tests::ScratchFolder folder;
    const std::string song = folder / "song.mid";
    const std::string out = folder / "out.tab";
    std::string problem;
    ASSERT_TRUE(storage::writeFile(song, "MThd", {}, problem));

    const Outcome bass = importing({"--import", song, out}, twoTracks, out);
    EXPECT_EQ(bass.status, 0) << bass.err;
    // The late quarter moves to the nearest sixteenth, the one before it is held into its gap.
    EXPECT_NE(bass.err.find(song + ":1:2.2: starts between sixteenths: moved to the nearest\n"),
              std::string::npos)
        << bass.err;
    for (const std::string line : {"|   q  s e.  q  q\r\nG ---------------\r\nD ---------------\r\n"
                                   "A --3-----5--7--5\r\nE ---------------\r\n",
                                   "Artist          : The Band\r\n",
                                   "Comments:       : Night Walk\r\n", "\r\nTempo: 96\r\n"})
        EXPECT_NE(bass.written.find(line), std::string::npos) << line << "\n" << bass.written;
}

TEST(SongImport, SaysWhyNothingWasWritten)
{
    tests::ScratchFolder folder;
    const std::string song = folder / "song.mid";
    const std::string out = folder / "out.tab";
    // Held here: the table's arguments only look at it.
    const std::string missing = folder / "missing.mid";
    std::string problem;
    ASSERT_TRUE(storage::writeFile(song, "MThd", {}, problem));
    const std::vector<
        std::tuple<std::vector<std::string_view>, files::SongReader, int, std::string>>
        table = {
            {{"--import", song, out, "--track", "3"}, twoTracks, 2, "has 2 tracks, not 3"},
            // The file's fault, not the command line's, unless it names a track not there.
            {{"--import", song, out}, drumsOnly, 1, "has no track Quorlin can import: percussion"},
            {{"--import", song, out, "--track", "1"}, drumsOnly, 1, "cannot be imported"},
            {{"--import", song, out, "--track", "2"}, drumsOnly, 2, "has 1 track, not 2"},
            {{"--import", song, out}, nullptr, 1, "which this build of Quorlin cannot read yet"},
            {{"--import", missing, out}, twoTracks, 1, "cannot read"},
        };
    for (const auto& [args, reader, status, said] : table) {
        SCOPED_TRACE(said);
        const Outcome result = importing(args, reader, out);
        EXPECT_EQ(result.status, status);
        EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
        EXPECT_EQ(result.written, "<none>");
    }
}

} // namespace
} // namespace quorlin::app
