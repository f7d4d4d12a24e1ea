// Formats told by their first bytes, and the readers reached through the registry.

#include "files/SongReaders.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

namespace quorlin::files {
namespace {

using namespace std::string_view_literals;

using testing::utf16Bytes;

TEST(SongReaders, TellsTheFormatByItsBytesFirst)
{
    // Little-endian after the mark, or big-endian without one.
    const std::string wideScore = utf16Bytes("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                             "<score-partwise version=\"4.0\">",
                                             false, true);
    const std::string wideTimewise = utf16Bytes("\n<score-timewise>", true, false);
    const std::string wideTab = utf16Bytes("G|--5--7--|\n", false, true);
    const std::vector<std::tuple<std::string_view, std::string_view, SongFormat>> table = {
        {"MThd\0\0\0\6"sv, "song.mid", SongFormat::Midi},
        {"MThd\0\0\0\6"sv, "song.txt", SongFormat::Midi},
        {"\x18"
         "FICHIER GUITAR PRO v5.00",
         "song.gp5", SongFormat::GuitarPro},
        {"\x18"
         "FICHIER GUITAR PRO v3.00",
         "no name", SongFormat::GuitarPro},
        {"BCFZ\1\2\3\4", "song.gpx", SongFormat::GuitarPro6},
        {"BCFS\1\2\3\4", "", SongFormat::GuitarPro6},
        {"PK\3\4....Content/score.gpif....", "song.gp", SongFormat::GuitarPro7},
        {"PK\3\4....META-INF/container.xml....", "song.mxl", SongFormat::CompressedMusicXml},
        {"PK\3\4....word/document.xml....", "song.gp", SongFormat::None},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE score-partwise>\n<score-partwise>", "a.bin",
         SongFormat::MusicXml},
        {"\xEF\xBB\xBF  <score-timewise version=\"3.1\">", "", SongFormat::MusicXml},
        {"<score-partwise>", "song.musicxml", SongFormat::MusicXml},
        {wideScore, "song.bin", SongFormat::MusicXml},
        {wideTimewise, "", SongFormat::MusicXml},
        {wideTab, "song.musicxml", SongFormat::None},
        {"G|--5--7--|\nD|---------|\n", "song.txt", SongFormat::None},
        {"<html><body>", "page.htm", SongFormat::None},
        {"", "empty.mid", SongFormat::None},
    };
    for (const auto& [bytes, name, format] : table) {
        SCOPED_TRACE(name);
        EXPECT_EQ(songFormat(bytes, name), format);
    }
}

SongReading oneTrack(std::string_view bytes)
{
    SongReading reading;
    reading.song.tracks.resize(1);
    reading.song.title = std::string(bytes.substr(0, 4));
    return reading;
}

SongReading noTracks(std::string_view)
{
    return {};
}

SongReading throws(std::string_view)
{
    throw std::runtime_error("broken");
}

TEST(SongReaders, ReachesTheReaderOfTheFormat)
{
    SongReaders readers;
    readers.midi = oneTrack;
    readers.guitarPro = noTracks;
    readers.musicXml = throws;
    const SongReading midi = readSong("MThd", "a.mid", readers);
    EXPECT_TRUE(midi.ok());
    EXPECT_EQ(midi.song.title, "MThd");
    EXPECT_EQ(readSong("BCFZ", "a.gpx", readers).error, "holds no tracks");
    EXPECT_EQ(readSong("<score-partwise>", "a.xml", readers).error, "could not be read: broken");
    EXPECT_EQ(readSong("MThd", "a.mid", SongReaders{}).error,
              "is a MIDI file, which this build of Quorlin cannot read yet");
    EXPECT_EQ(readSong("hello", "a.txt", readers).error,
              "is not a file Quorlin imports (Guitar Pro, MusicXML or MIDI)");
    const std::string huge(kLargestSongFile + 1, 'M');
    EXPECT_FALSE(readSong(huge, "a.mid", readers).ok());
}

} // namespace
} // namespace quorlin::files
