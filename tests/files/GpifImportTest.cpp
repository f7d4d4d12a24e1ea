// Guitar Pro 7 files written by alphaTab from the AlphaTex songs in data/gp7, and the same
// scores packed as Guitar Pro 6 files by write_gpx.py. alphaTab must read each .gpx as it
// reads its .gp (the packer is right), and Quorlin must read what alphaTab reads.

#include "files/GpifImport.h"
#include "files/SongReaders.h"

#include "tests/files/GuitarProPeer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace quorlin::files {
namespace {

using namespace peer;

// The same score as Guitar Pro 6 lays out its tracks.
constexpr const char* kOlder = "-older.gpx";

class GpifFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = fs::temp_directory_path() / ("quorlin-gpif-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        const fs::path peers = fs::path(QUORLIN_GP_NOTES).parent_path();
        const std::string packer = std::string("python3 '") + QUORLIN_WRITE_GPX + "' ";
        s_written =
            std::system((packer + "--hostile '" + (s_dir / "hostile").string() + "'").c_str()) == 0;
        std::string files;
        for (const auto& entry : fs::directory_iterator(QUORLIN_GP7_TEX)) {
            const fs::path gp = s_dir / entry.path().filename().replace_extension(".gp");
            const fs::path gpx = file(gp.stem().string(), ".gpx");
            const fs::path older = file(gp.stem().string(), kOlder);
            s_written =
                s_written &&
                std::system(("node '" + (peers / "tex-to-gp.mjs").string() + "' '" +
                             entry.path().string() + "' '" + gp.string() + "'")
                                .c_str()) == 0 &&
                std::system((packer + "'" + gp.string() + "' '" + gpx.string() + "'").c_str()) ==
                    0 &&
                std::system(
                    (packer + "--older '" + gp.string() + "' '" + older.string() + "'").c_str()) ==
                    0;
            s_stems.push_back(gp.stem().string());
            files += " '" + gp.string() + "' '" + gpx.string() + "' '" + older.string() + "'";
        }
        std::sort(s_stems.begin(), s_stems.end());
        s_peer = alphaTabReadings(QUORLIN_GP_NOTES, files);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path file(const std::string& stem, const char* extension)
    {
        return s_dir / (stem + extension);
    }

    static SongReading read(const fs::path& path)
    {
        return readSong(slurp(path), path.filename().string());
    }

    static inline fs::path s_dir;
    static inline bool s_written = false;
    static inline std::vector<std::string> s_stems;
    static inline std::map<std::string, std::vector<std::string>> s_peer;
};

TEST_F(GpifFixtures, EverySongWasWrittenAndPackedAsAlphaTabReadsIt)
{
    ASSERT_TRUE(s_written) << "tex-to-gp.mjs or write_gpx.py failed";
    EXPECT_EQ(s_stems, (std::vector<std::string>{"repeats", "rests", "techniques", "tempos", "ties",
                                                 "tracks", "tuplets", "voices"}));
    for (const std::string& stem : s_stems) {
        SCOPED_TRACE(stem);
        const std::vector<std::string>& gp = s_peer[file(stem, ".gp").string()];
        EXPECT_GT(gp.size(), 3u);
        EXPECT_EQ(s_peer[file(stem, ".gpx").string()], gp);
        EXPECT_EQ(s_peer[file(stem, kOlder).string()], gp);
    }
}

// Each song, as a .gp and as a .gpx in both layouts, read through the format's detection and its
// reader.
TEST_F(GpifFixtures, QuorlinReadsWhatAlphaTabReads)
{
    for (const std::string& stem : s_stems) {
        for (const char* extension : {".gp", ".gpx", kOlder}) {
            const fs::path path = file(stem, extension);
            SCOPED_TRACE(path.filename().string());
            const SongReading reading = read(path);
            ASSERT_TRUE(reading.ok()) << reading.error;
            EXPECT_EQ(describe(reading.song), s_peer[path.string()]);
            EXPECT_TRUE(reading.song.problems.empty());
        }
    }
}

TEST_F(GpifFixtures, SongTextAndDirectionsComeAcross)
{
    const SongReading techniques = read(file("techniques", ".gpx"));
    ASSERT_TRUE(techniques.ok()) << techniques.error;
    const Song& song = techniques.song;
    EXPECT_EQ(std::vector<std::string>({song.title, song.subtitle, song.artist, song.album,
                                        song.words, song.music, song.copyright, song.author}),
              std::vector<std::string>({"Techniques", "A test", "Quorlin", "Fixtures", "Nobody",
                                        "Someone", "2026", "alphaTab"}));
    EXPECT_EQ(song.notices, std::vector<std::string>{"Play it"});

    const SongReading tracks = read(file("tracks", ".gp"));
    ASSERT_TRUE(tracks.ok()) << tracks.error;
    EXPECT_EQ(tracks.song.tracks.at(2).capo, 2);
    // The capo sounds: string 1 tuned to C3 (48), fret 1 above a capo at 2.
    const SongNote& capoed = tracks.song.tracks.at(2).notes.at(1);
    EXPECT_EQ(std::tuple(capoed.string, capoed.fret, capoed.pitch), std::tuple(1, 1, 51));

    // The first voice plays on the top string alone, the second below it.
    const SongReading voices = read(file("voices", ".gpx"));
    ASSERT_TRUE(voices.ok()) << voices.error;
    for (const SongNote& note : voices.song.tracks.at(0).notes)
        EXPECT_EQ(note.voice, note.string == 1 ? 0 : 1) << note.bar << " " << note.start;

    const SongReading repeats = read(file("repeats", ".gp"));
    ASSERT_TRUE(repeats.ok()) << repeats.error;
    // The section "B Bridge" is a name; only D.C. al Fine is a sign to follow.
    EXPECT_EQ(repeats.song.bars.at(4).direction, "D.C. al Fine");
}

// Cut short anywhere, a file is refused with a reason, never read past its end; a .gpx that
// lost only the padding after its score (Guitar Pro 6 itself writes them a byte short)
// reads as the whole file does, never with a note lost.
TEST_F(GpifFixtures, TruncatedFilesAreRefusedOrReadWhole)
{
    for (const char* extension : {".gp", ".gpx"}) {
        const std::string bytes = slurp(file("techniques", extension));
        const std::vector<std::string> whole = describe(readGuitarProSong(bytes).song);
        SCOPED_TRACE(extension);
        for (std::size_t size = 0; size < bytes.size(); size += 7) {
            const SongReading reading = readGuitarProSong(std::string_view(bytes).substr(0, size));
            if (reading.ok())
                EXPECT_EQ(describe(reading.song), whole) << "cut at " << size;
            else
                EXPECT_FALSE(reading.error.empty());
        }
    }
}

TEST_F(GpifFixtures, HostileFilesAreRefusedWithTheirReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"huge-claim.gpx", "claims to unpack to 2147483632 bytes"},
        {"backwards.gpx", "points back before its start"},
        {"short.gpx", "cut short"},
        {"loop.gpx", "names a sector twice"},
        {"far-sector.gpx", "sector past its end"},
        {"huge-score.gpx", "more than the file holds"},
        {"no-score.gpx", "holds no score.gpif"},
        {"many-tracks.gp", "513 tracks"},
        {"many-bars.gp", "100001 bars"},
        {"shared-voice.gp", "beats"},
        {"not-xml.gp", "not well-formed XML"},
        {"bomb.gp", "MB"},
        {"tied-beats.gp", "bar 1 of track 1) of 1000000 beats"},
        {"missing-notes.gp", "a beat of 1000000 notes"},
        {"grace-notes.gp", "a beat of 100000 notes"},
        {"markup.gp", "more than 4194304 elements and attributes"},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const SongReading reading = readGuitarProSong(slurp(s_dir / "hostile" / name));
        EXPECT_NE(reading.error.find(reason), std::string::npos) << reading.error;
    }
    const SongReading entities = readGuitarProSong(slurp(s_dir / "hostile" / "entities.gp"));
    ASSERT_TRUE(entities.ok()) << entities.error;
    EXPECT_EQ(entities.song.title, "&c;");
}

// What the file names that cannot be taken is listed, and the notes around it kept.
TEST(GpifProblems, NotesOffTheInstrumentAreListed)
{
    const std::string score =
        "<GPIF><Tracks><Track id='0'><Staves><Staff><Properties>"
        "<Property name='Tuning'><Pitches>28 33 38 43</Pitches></Property>"
        "</Properties></Staff></Staves></Track></Tracks>"
        "<MasterBars><MasterBar><Time>4/4</Time><Bars>0</Bars></MasterBar></MasterBars>"
        "<Bars><Bar id='0'><Voices>0 -1 -1 -1</Voices></Bar></Bars>"
        "<Voices><Voice id='0'><Beats>0 1 2 3</Beats></Voice></Voices>"
        "<Beats><Beat id='0'><Rhythm ref='0'/><Notes>0</Notes></Beat>"
        "<Beat id='1'><Rhythm ref='1'/><Notes>1</Notes></Beat>"
        "<Beat id='2'><Rhythm ref='0'/><Notes>2</Notes></Beat>"
        "<Beat id='3'><Rhythm ref='0'/><Notes>3</Notes></Beat></Beats>"
        "<Notes><Note id='0'><Properties><Property name='String'><String>4</String></Property>"
        "<Property name='Fret'><Fret>1</Fret></Property></Properties></Note>"
        "<Note id='1'><Properties><Property name='String'><String>0</String></Property>"
        "<Property name='Fret'><Fret>3</Fret></Property></Properties></Note>"
        "<Note id='2'><Properties><Property name='String'><String>3</String></Property>"
        "<Property name='Fret'><Fret>5</Fret></Property></Properties></Note>"
        "<Note id='3'><Properties><Property name='String'><String>2147483647</String>"
        "</Property></Properties></Note></Notes>"
        "<Rhythms><Rhythm id='0'><NoteValue>Quarter</NoteValue></Rhythm>"
        "<Rhythm id='1'><NoteValue>Eighth</NoteValue><PrimaryTuplet num='0' den='2'/>"
        "</Rhythm></Rhythms></GPIF>";
    const SongReading reading = readGpifSong(score);
    ASSERT_TRUE(reading.ok()) << reading.error;
    ASSERT_EQ(reading.song.problems.size(), 3u);
    EXPECT_EQ(reading.song.problems[0].what, "a note on string 5 of a track of 4 strings left out");
    EXPECT_EQ(reading.song.problems[1].what, "a tuplet of 0:2 played as written without it");
    EXPECT_EQ(reading.song.problems[2].what,
              "a note on string 2147483648 of a track of 4 strings left out");
    // The lowest string's fret 3 is string 4 from the top, on E1 (28); G2's fret 5 is string 1.
    std::vector<std::tuple<std::int64_t, std::int64_t, int, int>> notes;
    for (const SongNote& note : reading.song.tracks.at(0).notes)
        notes.emplace_back(note.start, note.length, note.string, note.pitch);
    EXPECT_EQ(notes, (std::vector<std::tuple<std::int64_t, std::int64_t, int, int>>{
                         {3840, 1920, 4, 31}, {5760, 3840, 1, 48}}));
}

} // namespace
} // namespace quorlin::files
