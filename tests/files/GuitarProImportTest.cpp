// Guitar Pro 3, 4 and 5 files made by tests/files/write_gp.py from the formats' descriptions.
// alphaTab, an independent reader, must find in each file the notes the writer meant, and
// Quorlin must read what alphaTab reads: the same bars, tempos, tracks and notes.

#include "files/GuitarProImport.h"

#include "tests/files/GuitarProPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
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
    EXPECT_EQ(versions[".gp3"], 11);
    EXPECT_EQ(versions[".gp4"], 11);
    EXPECT_EQ(versions[".gp5"], 22);
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
        {"huge-text.gp5", "longer than the file"},
        {"million-tracks.gp5", "1000000 tracks"},
        {"million-bars.gp4", "1000000 bars"},
        {"million-beats.gp3", "1000000 beats"},
        {"negative-beats.gp5", "-1 beats, and a count cannot be below zero"},
        {"negative-text.gp3", "-5 bytes in its header, and a size cannot be below zero"},
        {"crowded.gp3", "20000 bars of 100 tracks"},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const SongReading reading = readGuitarProSong(slurp(s_dir / "hostile" / name));
        EXPECT_NE(reading.error.find(reason), std::string::npos) << reading.error;
    }
}

TEST_F(GuitarProFixtures, AThousandProblemsAreListedAndThenNoMore)
{
    const SongReading reading = readGuitarProSong(slurp(s_dir / "hostile" / "many-tuplets.gp4"));
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(reading.song.tracks.at(0).notes.size(), 3000u);
    ASSERT_EQ(reading.song.problems.size(), 1001u);
    EXPECT_EQ(reading.song.problems.back().what, "more problems than these, not listed");
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

// Files Guitar Pro 5 and 6 wrote themselves (alphaTab's test data): Quorlin reads each as
// alphaTab does, every bar, tempo, track and note, but where alphaTab departs from what the
// file says.
TEST(GuitarProRealFiles, QuorlinReadsWhatAlphaTabReads)
{
    struct Departure {
        const char* file;
        const char* alphaTab; // its line, or "" where it has none
        const char* rules;    // the line the file's rules give, or "" for none
    };
    static const Departure kDepartures[] = {
        // A grace note sliding into its note: alphaTab slides from the grace, left out here.
        {"effects", "note\t1\t2\t7680\t3\t2\t3840\tgrace,slide",
         "note\t1\t2\t7680\t3\t2\t3840\tgrace"},
        // A hammer-on past a beat on another string, onto the same fret, is no hammer-on.
        {"canon", "note\t1\t108\t7680\t4\t7\t1920\thammer", "note\t1\t108\t7680\t4\t7\t1920\t-"},
        {"canon", "note\t1\t116\t7680\t4\t7\t1920\thammer", "note\t1\t116\t7680\t4\t7\t1920\t-"},
        // alphaTab keeps no grace on a drum.
        {"canon", "note\t5\t19\t7680\t0\t38\t3840\t-", "note\t5\t19\t7680\t0\t38\t3840\tgrace"},
        {"canon", "note\t5\t20\t7680\t0\t38\t1920\t-", "note\t5\t20\t7680\t0\t38\t1920\tgrace"},
        // Ties over a bar written short (220 of track 6) or long (track 7): alphaTab adds the
        // written lengths, where the note sounds to the tie's end as the bars are played.
        {"canon", "note\t6\t220\t1920\t2\t15\t46080\tvibrato",
         "note\t6\t220\t1920\t2\t15\t51840\tvibrato"},
        {"canon", "note\t7\t220\t1920\t2\t27\t26880\tvibrato",
         "note\t7\t220\t1920\t2\t27\t48000\tvibrato"},
        // Back to 90 after 85: alphaTab drops a change to the tempo its bar began with.
        {"canon", "", "tempo\t222\t9920\t90"},
    };
    const fs::path dir = fs::path(QUORLIN_FILES_DATA) / "real";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".gp5" || entry.path().extension() == ".gpx")
            files.push_back(entry.path());
    ASSERT_EQ(files.size(), 6u);
    std::string quoted;
    for (const fs::path& file : files)
        quoted += " '" + file.string() + "'";
    std::map<std::string, std::vector<std::string>> peer =
        alphaTabReadings(QUORLIN_GP_NOTES, quoted + " 2>/dev/null");
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const SongReading reading = readGuitarProSong(slurp(file));
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_TRUE(reading.song.problems.empty());
        std::vector<std::string> expected = peer[file.string()];
        ASSERT_FALSE(expected.empty());
        for (const Departure& d : kDepartures) {
            if (file.stem().string() != std::string("guitarpro5-") + d.file)
                continue;
            if (*d.alphaTab != '\0') {
                const auto line = std::find(expected.begin(), expected.end(), d.alphaTab);
                ASSERT_NE(line, expected.end()) << "alphaTab no longer reads " << d.alphaTab;
                expected.erase(line);
            }
            if (*d.rules != '\0')
                expected.push_back(d.rules);
        }
        if (file.extension() == ".gpx") {
            // Guitar Pro 6's reader keeps tapping as one of the other marks, which the
            // description leaves out: alphaTab's tapped notes must carry one.
            std::set<std::string> otherMarked;
            for (std::size_t t = 0; t < reading.song.tracks.size(); ++t)
                for (const SongNote& note : reading.song.tracks[t].notes)
                    if (note.marks & model::kOtherMark)
                        otherMarked.insert(
                            std::to_string(t + 1) + "\t" + std::to_string(note.bar + 1) + "\t" +
                            std::to_string(note.start) + "\t" + std::to_string(note.string));
            for (std::string& line : expected) {
                if (!line.starts_with("note\t") || !line.ends_with("\ttap"))
                    continue;
                // "note", then track, bar, onset and string: the place.
                std::size_t end = 0;
                for (int field = 0; field < 5; ++field)
                    end = line.find('\t', end + 1);
                EXPECT_TRUE(otherMarked.contains(line.substr(5, end - 5))) << line;
                line.replace(line.size() - 3, 3, "-");
            }
            EXPECT_GT(std::ranges::count_if(expected,
                                            [](const auto& l) { return l.starts_with("note\t"); }),
                      20);
        }
        std::sort(expected.begin(), expected.end());
        const std::vector<std::string> ours = describe(reading.song);
        std::vector<std::string> onlyOurs, onlyTheirs;
        std::set_difference(ours.begin(), ours.end(), expected.begin(), expected.end(),
                            std::back_inserter(onlyOurs));
        std::set_difference(expected.begin(), expected.end(), ours.begin(), ours.end(),
                            std::back_inserter(onlyTheirs));
        std::string shown;
        for (std::size_t i = 0; i < std::min<std::size_t>(onlyOurs.size(), 15); ++i)
            shown += "\n  Quorlin: " + onlyOurs[i];
        for (std::size_t i = 0; i < std::min<std::size_t>(onlyTheirs.size(), 15); ++i)
            shown += "\n  expected: " + onlyTheirs[i];
        EXPECT_TRUE(onlyOurs.empty() && onlyTheirs.empty())
            << onlyOurs.size() << " lines only Quorlin's, " << onlyTheirs.size()
            << " only expected, of " << expected.size() << shown;
    }
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
