// Guitar Pro 3, 4 and 5 files made by tests/files/write_gp.py from the formats' descriptions.
// alphaTab, an independent reader, must find in each file the notes the writer meant, and
// Quorlin must read what alphaTab reads: the same bars, tempos, tracks and notes.

#include "files/GuitarProImport.h"

#include "tests/files/GuitarProPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace quorlin::files {
namespace {

namespace fs = std::filesystem;
using namespace peer;

class GuitarProFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = fs::temp_directory_path() / ("quorlin-gp-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        const std::string writer = std::string("python3 '") + QUORLIN_WRITE_GP + "' ";
        s_written =
            std::system((writer + "'" + s_dir.string() + "'").c_str()) == 0 &&
            std::system((writer + "--hostile '" + (s_dir / "hostile").string() + "'").c_str()) == 0;
        std::string files;
        for (const auto& entry : fs::directory_iterator(s_dir))
            if (entry.path().extension() != ".expected" && entry.is_regular_file())
                files += " '" + entry.path().string() + "'";
        s_peer = alphaTabReadings(QUORLIN_GP_NOTES, files);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static std::vector<fs::path> fixtures()
    {
        std::vector<fs::path> paths;
        for (const auto& entry : fs::directory_iterator(s_dir))
            if (entry.path().extension() == ".expected")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    static fs::path fileOf(const fs::path& expected)
    {
        for (const char* ext : {".gp3", ".gp4", ".gp5"}) {
            fs::path file = expected;
            file.replace_extension(ext);
            if (fs::exists(file))
                return file;
        }
        return {};
    }

    // alphaTab's reading, where it departs from the format's rules replaced by what they say:
    // a third ending in an older file, numbered 3 after bars of the first and second, is the
    // third ending alone, where alphaTab also plays it the first time through.
    static std::vector<std::string> peerReading(const fs::path& file)
    {
        static const std::map<std::string, std::pair<std::string, std::string>> kDepartures = {
            {"endings", {"bar\t4\t4/4\t0\t0\t5", "bar\t4\t4/4\t0\t0\t4"}},
        };
        std::vector<std::string> lines = s_peer[file.string()];
        const auto departure = kDepartures.find(file.stem().stem().string());
        if (departure != kDepartures.end()) {
            const auto line = std::find(lines.begin(), lines.end(), departure->second.first);
            EXPECT_NE(line, lines.end()) << "alphaTab no longer departs there";
            if (line != lines.end())
                *line = departure->second.second;
        }
        return lines;
    }

    static inline fs::path s_dir;
    static inline bool s_written = false;
    static inline std::map<std::string, std::vector<std::string>> s_peer;
};

TEST_F(GuitarProFixtures, EveryFixtureMadeItsFilesAndTheirVersions)
{
    ASSERT_TRUE(s_written) << "write_gp.py failed";
    ASSERT_TRUE(fs::exists(fs::path(QUORLIN_GP_NOTES).parent_path() / "node_modules" /
                           "@coderline" / "alphatab"))
        << "alphaTab is missing: scripts/install-deps installs it";
    std::map<std::string, int> versions;
    for (const fs::path& expected : fixtures())
        ++versions[fileOf(expected).extension().string()];
    // Each song in Guitar Pro 3, 4, 5.00 and 5.10; a second voice only in 5, an ending by
    // its number only before.
    EXPECT_EQ(versions[".gp3"], 10);
    EXPECT_EQ(versions[".gp4"], 10);
    EXPECT_EQ(versions[".gp5"], 20);
}

// alphaTab finds what the writer meant: the fixtures say what they are thought to say.
TEST_F(GuitarProFixtures, AlphaTabReadsTheNotesTheWriterMeant)
{
    for (const fs::path& expected : fixtures()) {
        SCOPED_TRACE(expected.filename().string());
        EXPECT_EQ(peerReading(fileOf(expected)), linesOf(slurp(expected)));
    }
}

// The import's reading agrees with alphaTab's on every bar, tempo, track and note.
TEST_F(GuitarProFixtures, QuorlinReadsWhatAlphaTabReads)
{
    for (const fs::path& expected : fixtures()) {
        const fs::path file = fileOf(expected);
        SCOPED_TRACE(file.filename().string());
        const SongReading reading = readGuitarProSong(slurp(file));
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_EQ(describe(reading.song), peerReading(file));
        EXPECT_TRUE(reading.song.problems.empty());
    }
}

TEST_F(GuitarProFixtures, SongTextComesAcross)
{
    for (const char* name :
         {"basics.gp3.gp3", "basics.gp4.gp4", "basics.gp500.gp5", "basics.gp510.gp5"}) {
        SCOPED_TRACE(name);
        const SongReading reading = readGuitarProSong(slurp(s_dir / name));
        ASSERT_TRUE(reading.ok()) << reading.error;
        const Song& song = reading.song;
        EXPECT_EQ(song.title, "Basics");
        EXPECT_EQ(song.subtitle, "A test");
        EXPECT_EQ(song.artist, "Quorlin");
        EXPECT_EQ(song.album, "Fixtures");
        EXPECT_EQ(song.words, "Nobody");
        // Only Guitar Pro 5 names the music's author apart from the words'.
        EXPECT_EQ(song.music, std::string(name).ends_with(".gp5") ? "Someone" : "");
        EXPECT_EQ(song.copyright, "2026");
        EXPECT_EQ(song.author, "write_gp.py");
        EXPECT_EQ(song.notices,
                  (std::vector<std::string>{"Play it", "first notice", "second notice"}));
        EXPECT_EQ(song.tracks.at(0).midiProgram, 33);
    }
}

// Cut short anywhere, the file is refused with a reason, never read past its end.
TEST_F(GuitarProFixtures, TruncatedFilesAreRefused)
{
    for (const char* name :
         {"techniques.gp3.gp3", "repeats.gp4.gp4", "tempos.gp500.gp5", "basics.gp510.gp5"}) {
        SCOPED_TRACE(name);
        const std::string bytes = slurp(s_dir / name);
        ASSERT_TRUE(readGuitarProSong(bytes).ok());
        for (std::size_t size = 0; size < bytes.size(); size += 3) {
            const SongReading reading = readGuitarProSong(std::string_view(bytes).substr(0, size));
            ASSERT_FALSE(reading.ok()) << "cut at " << size;
            // Past the version, the reason is the end itself or a size the end belies.
            const bool said =
                size < 31 ? reading.error.find("too short") != std::string::npos
                          : reading.error.find("cut short") != std::string::npos ||
                                reading.error.find("room for") != std::string::npos ||
                                reading.error.find("longer than the file") != std::string::npos;
            EXPECT_TRUE(said) << "cut at " << size << ": " << reading.error;
        }
    }
}

TEST_F(GuitarProFixtures, HostileFilesAreRefusedWithTheirReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"huge-text.gp5", "longer than the file"}, {"million-tracks.gp5", "1000000 tracks"},
        {"million-bars.gp4", "1000000 bars"},      {"million-beats.gp3", "1000000 beats"},
        {"negative-beats.gp5", "-1 beats"},        {"crowded.gp3", "20000 bars of 100 tracks"},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const SongReading reading = readGuitarProSong(slurp(s_dir / "hostile" / name));
        EXPECT_NE(reading.error.find(reason), std::string::npos) << reading.error;
    }
}

TEST_F(GuitarProFixtures, WhatCannotBeTakenIsListed)
{
    const SongReading reading = readGuitarProSong(slurp(s_dir / "hostile" / "odd-notes.gp4"));
    ASSERT_TRUE(reading.ok()) << reading.error;
    ASSERT_EQ(reading.song.problems.size(), 2u);
    const SongProblem& string = reading.song.problems[0];
    EXPECT_EQ(
        std::tuple(string.bar, string.beat, string.what),
        std::tuple(1, 1.0, std::string("a note on string 5 of a track of 4 strings left out")));
    const SongProblem& tuplet = reading.song.problems[1];
    EXPECT_EQ(std::tuple(tuplet.bar, tuplet.beat, tuplet.what),
              std::tuple(1, 3.0, std::string("a 4-tuplet played as written without it")));
    // The notes around them keep their times: an eighth played as written, then the rest.
    std::vector<std::pair<std::int64_t, std::int64_t>> times;
    for (const SongNote& note : reading.song.tracks.at(0).notes)
        times.emplace_back(note.start, note.length);
    EXPECT_EQ(times, (std::vector<std::pair<std::int64_t, std::int64_t>>{
                         {7680, 1920}, {9600, 1920}, {11520, 7680}}));
}

TEST(GuitarProVersions, OtherVersionsAndFormatsAreNamed)
{
    const auto header = [](std::string name) {
        std::string bytes(1, static_cast<char>(name.size()));
        bytes += name;
        bytes.resize(31 + 200, '\0');
        return bytes;
    };
    const std::pair<std::string, const char*> cases[] = {
        {header("CLIPBOARD GUITAR PRO 5.00"), "clipboard"},
        {header("FICHIER GUITARE PRO v1.04"), "Guitar Pro 1 or 2"},
        {header("FICHIER GUITAR PRO v2.21"), "Guitar Pro 1 or 2"},
        {header("FICHIER GUITAR PRO v5.20"), "version Quorlin does not read (v5.20)"},
        {header("GUITAR PRO 3"), "not a Guitar Pro 3, 4 or 5 file"},
        {"BCFZ" + std::string(100, '\0'), "Guitar Pro 6"},
        {"PK\x03\x04" + std::string(100, '\0'), "zip"},
        {"", "too short"},
    };
    for (const auto& [bytes, reason] : cases) {
        const SongReading reading = readGuitarProSong(bytes);
        EXPECT_NE(reading.error.find(reason), std::string::npos) << reading.error;
    }
}

} // namespace
} // namespace quorlin::files
