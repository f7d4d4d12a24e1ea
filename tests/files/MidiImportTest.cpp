#include "files/MidiImport.h"
#include "tests/files/MidiBytes.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quorlin::files {
namespace {

using namespace testing::midi;

std::string tempo(std::uint32_t microseconds)
{
    return meta(0x51, bigEndian(microseconds, 3));
}

std::string meter(int beats, int power)
{
    return meta(0x58, raw({beats, power, 24, 8}));
}

std::vector<std::string> notesOf(const Song& song)
{
    std::vector<std::string> out;
    for (std::size_t t = 0; t < song.tracks.size(); ++t)
        for (const SongNote& n : song.tracks[t].notes) {
            EXPECT_TRUE(n.string == 0 && n.fret == -1 && n.voice == 0);
            std::ostringstream line;
            line << "t" << t << " bar " << n.bar << " at " << n.start << " for " << n.length
                 << " key " << n.pitch;
            out.push_back(line.str());
        }
    return out;
}

std::vector<std::string> barsOf(const Song& song)
{
    std::vector<std::string> out;
    for (const SongBar& b : song.bars)
        out.push_back(std::to_string(b.beats) + "/" + std::to_string(b.beatType) + " " +
                      std::to_string(b.length));
    return out;
}

constexpr std::int64_t Q = kSongTicksPerQuarter;

struct TimingCase {
    const char* name;
    std::string file;
    std::vector<std::string> notes;
    std::vector<std::string> bars;
    std::vector<std::string> problems = {};
};

TEST(MidiImport, TimesBarsAndNotesFromTheFormatsRules)
{
    const std::string q4 = "4/4 " + std::to_string(4 * Q);
    const TimingCase cases[] = {
        {"format 0 at 96 a quarter, with running status, velocity 0 as a note-off, a sysex, a "
         "key signature, lyrics and an unknown chunk",
         header(0, 1, 96) + chunk("XFIH", "anything") +
             track({{0, on(0, 40)},
                    {96, raw({40, 0})},
                    {0, raw({43, 90})},
                    {0, raw({0xF0, 3, 1, 2, 0xF7})},
                    {0, meta(0x59, raw({1, 0}))},
                    {48, on(0, 43, 0)},
                    {0, meta(0x05, "la")},
                    {0, on(0, 45, 90)},
                    {48, off(0, 45)}}),
         {"t0 bar 0 at 0 for 3840 key 40", "t0 bar 0 at 3840 for 1920 key 43",
          "t0 bar 0 at 5760 for 1920 key 45"},
         {q4}},
        {"7 ticks a quarter: times round to the nearest tick, lengths between rounded times",
         header(1, 1, 7) +
             track({{3, on(0, 40)}, {3, off(0, 40)}, {1, on(0, 41)}, {1, off(0, 41)}}),
         // 3 * 3840 / 7 = 1645.7, 6 * 3840 / 7 = 3291.4, 7 ticks a quarter, 8 * 3840 / 7 = 4388.6
         {"t0 bar 0 at 1646 for 1645 key 40", "t0 bar 0 at 3840 for 549 key 41"},
         {q4}},
        {"a chord, then a note across the bar line and one after it",
         header(1, 1, 480) + track({{0, on(0, 45)},
                                    {0, on(0, 40)},
                                    {1440, off(0, 40)},
                                    {0, off(0, 45)},
                                    {0, on(0, 38)},
                                    {960, off(0, 38)},
                                    {480, on(0, 36)},
                                    {480, off(0, 36)}}),
         {"t0 bar 0 at 0 for 11520 key 40", "t0 bar 0 at 0 for 11520 key 45",
          "t0 bar 0 at 11520 for 7680 key 38", "t0 bar 1 at 7680 for 3840 key 36"},
         {q4, q4}},
        {"3/4, then 6/8 at the second bar, then 2/4 inside the third, which it cuts short",
         header(1, 1, 480) + track({{0, meter(3, 2)},
                                    {1440, meter(6, 3)},
                                    {0, on(0, 40)},
                                    {1440 + 240, off(0, 40)},
                                    {480, meter(2, 2)},
                                    {0, on(0, 41)},
                                    {480, off(0, 41)}}),
         {"t0 bar 1 at 0 for 13440 key 40", "t0 bar 3 at 0 for 3840 key 41"},
         {"3/4 11520", "6/8 11520", "6/8 5760", "2/4 7680"}},
        {"a key struck again while it sounds ends the first note; a key never released ends "
         "with its track",
         header(1, 1, 480) + track({{0, on(0, 40)},
                                    {480, on(0, 40)},
                                    {480, off(0, 40)},
                                    {480, off(0, 40)},
                                    {0, on(0, 28)},
                                    {960, raw({0xB0, 7, 100})}}),
         {"t0 bar 0 at 0 for 3840 key 40", "t0 bar 0 at 3840 for 3840 key 40",
          "t0 bar 0 at 11520 for 7680 key 28"},
         {q4, q4},
         {"1 note is never released: each ends where its track ends"}},
        // SMPTE: 25 frames of 40 ticks, 1,000 ticks a second; 120 a minute until the tempo
        // (a quarter of 500 ticks), then 60 a minute (1,000 ticks) from tick 1,000.
        {"SMPTE 25 frames a second through a tempo change",
         header(0, 1, 0xE728) + track({{500, on(0, 40)},
                                       {250, off(0, 40)},
                                       {250, tempo(1'000'000)},
                                       {1000, on(0, 41)},
                                       {500, off(0, 41)}}),
         {"t0 bar 0 at 3840 for 1920 key 40", "t0 bar 0 at 11520 for 1920 key 41"},
         {q4}},
        // 30 frames of 4 ticks: 120 ticks a second, 150 a minute is 48 ticks a quarter.
        {"SMPTE 30 frames a second at 150 a minute",
         header(0, 1, 0xE204) + track({{0, tempo(400'000)},
                                       {72, on(0, 40)},
                                       {24, off(0, 40)},
                                       {96, on(0, 40)},
                                       {1, off(0, 40)}}),
         {"t0 bar 0 at 5760 for 1920 key 40", "t0 bar 1 at 0 for 80 key 40"},
         {q4, q4}},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SongReading r = readMidiSong(c.file);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(notesOf(r.song), c.notes);
        EXPECT_EQ(barsOf(r.song), c.bars);
        std::vector<std::string> problems;
        for (const SongProblem& p : r.song.problems)
            problems.push_back(p.what);
        EXPECT_EQ(problems, c.problems);
    }
}

TEST(MidiImport, TemposTheFirstAtTheStartTheLaterOnesInTheirBars)
{
    using Tempos = std::vector<std::tuple<int, std::int64_t, double>>;
    const std::pair<std::string, Tempos> cases[] = {
        // A conductor track: 100 a minute, 150 at the third beat of bar 3, the same again
        // (no change), 120 at the start of bar 5.
        {header(1, 2, 480) +
             track({{0, tempo(600'000)},
                    {2 * 1920 + 960, tempo(400'000)},
                    {10, tempo(400'000)},
                    {1920 + 950, tempo(500'000)}}) +
             track({{0, on(0, 40)}, {4 * 1920 + 1, off(0, 40)}}),
         {{0, 0, 100}, {2, 2 * Q, 150}, {4, 0, 120}}},
        // Before the first tempo MIDI plays 120 a minute.
        {header(0, 1, 480) + track({{0, on(0, 40)}, {960, tempo(1'000'000)}, {960, off(0, 40)}}),
         {{0, 0, 120}, {0, 2 * Q, 60}}},
        {header(0, 1, 480) + track({{0, on(0, 40)}, {960, off(0, 40)}}), {}},
    };
    for (const auto& [file, expected] : cases) {
        const SongReading r = readMidiSong(file);
        ASSERT_TRUE(r.ok()) << r.error;
        Tempos tempos;
        for (const SongTempo& t : r.song.tempos)
            tempos.emplace_back(t.bar, t.start, t.quartersPerMinute);
        EXPECT_EQ(tempos, expected);
    }
}

struct TrackCase {
    std::string name;
    std::string instrument;
    int program;
    bool percussion;
    std::size_t notes;
};

TEST(MidiImport, OneTrackForEachChannelWithNotesNamedAndProgrammed)
{
    const std::string format1 =
        header(1, 5, 480) +
        track({{0, meta(0x03, "Song of tests")},
               {0, meta(0x02, "(c) nobody")},
               {0, tempo(500'000)}}) +
        track({{0, meta(0x03, "Bass")}, {0, raw({0xC0, 33})}, {0, on(0, 28)}, {480, off(0, 28)}}) +
        // One track playing two channels, one of them without a program.
        track({{0, meta(0x03, "Keys")},
               {0, raw({0xC2, 4})},
               {0, on(2, 60)},
               {0, on(3, 64)},
               {0, on(2, 67)},
               {480, off(2, 60)},
               {0, off(3, 64)},
               {0, off(2, 67)}}) +
        track({{0, meta(0x03, "Kit")},
               {0, meta(0x04, "Rock kit")},
               {0, on(9, 36)},
               {240, off(9, 36)}}) +
        // A program and a name but no note: no track.
        track({{0, meta(0x03, "Silent")}, {0, raw({0xC5, 10})}});
    const std::string format0 = header(0, 1, 96) + track({{0, meta(0x03, "Whole song")},
                                                          {0, raw({0xC1, 38})},
                                                          {0, on(1, 33)},
                                                          {0, on(0, 45)},
                                                          {96, off(0, 45)},
                                                          {0, off(1, 33)},
                                                          {0, raw({0xC0, 0})}});
    const std::tuple<const char*, std::string, const char*, std::vector<TrackCase>> cases[] = {
        {"format 1",
         format1,
         "Song of tests",
         {{"Bass", "Electric Bass (finger)", 33, false, 1},
          {"Keys (Channel 3)", "Electric Piano 1", 4, false, 2},
          {"Keys (Channel 4)", "Acoustic Grand Piano", -1, false, 1},
          {"Kit", "Rock kit", -1, true, 1}}},
        {"format 0",
         format0,
         "Whole song",
         {{"Channel 1", "Acoustic Grand Piano", 0, false, 1},
          {"Channel 2", "Synth Bass 1", 38, false, 1}}},
    };
    for (const auto& [name, file, title, expected] : cases) {
        SCOPED_TRACE(name);
        const SongReading r = readMidiSong(file);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.song.title, title);
        ASSERT_EQ(r.song.tracks.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const SongTrack& t = r.song.tracks[i];
            EXPECT_EQ(t.name, expected[i].name);
            EXPECT_EQ(t.instrument, expected[i].instrument);
            EXPECT_EQ(t.midiProgram, expected[i].program) << t.name;
            EXPECT_EQ(t.percussion, expected[i].percussion) << t.name;
            EXPECT_EQ(t.notes.size(), expected[i].notes) << t.name;
            EXPECT_TRUE(t.tuning.empty());
        }
    }
    EXPECT_EQ(readMidiSong(format1).song.copyright, "(c) nobody");
}

// Names from the General MIDI sound set, counted from 0, at its ends and past them, where a
// file's program may point; the bass family is named in the test above.
TEST(MidiImport, GeneralMidiNames)
{
    const std::pair<int, std::string_view> names[] = {
        {-1, ""}, {0, "Acoustic Grand Piano"}, {127, "Gunshot"}, {128, ""}};
    for (const auto& [program, name] : names)
        EXPECT_EQ(generalMidiProgramName(program), name) << program;
}

// Each a file that must be refused, and the words that say why.
TEST(MidiImport, TruncatedAndHostileFilesAreRefusedWithTheirReason)
{
    const std::string oneNote = track({{0, on(0, 40)}, {480, off(0, 40)}});
    std::string runningNotes = raw({0, 0x90, 40, 100});
    for (std::size_t i = 0; i <= kMostSongNotes; ++i)
        runningNotes += raw({1, 40, 0, 0, 40, 100});
    std::string tempoFlood;
    for (std::size_t i = 0; i <= kMostSongBars; ++i)
        tempoFlood += raw({1}) + tempo(400'000 + i % 2);
    std::string manyChannels;
    for (int i = 0; i < 33; ++i) {
        std::vector<std::pair<std::uint32_t, std::string>> events;
        for (int c = 0; c < 16; ++c)
            events.push_back({0, on(c, 40)});
        manyChannels += track(events);
    }
    const std::string wholeOne = header(1, 1, 480) + oneNote;
    const std::pair<std::string, const char*> cases[] = {
        {"", "is not a MIDI file"},
        {"RIFF" + std::string(20, '\0'), "is not a MIDI file"},
        {wholeOne.substr(0, 13), "is not a MIDI file"},
        {header(2, 1, 480) + oneNote, "format 2 (independent patterns)"},
        {header(7, 1, 480) + oneNote, "unknown format (7)"},
        {header(1, 0, 480), "no tracks"},
        {header(1, 1, 0) + oneNote, "no ticks to the quarter note"},
        {header(1, 1, 0xE700) + oneNote, "no ticks to an SMPTE frame"},
        {"MThd" + raw({0xFF, 0xFF, 0xFF, 0xFF}) + wholeOne.substr(8), "header of a length"},
        {wholeOne.substr(0, wholeOne.size() - 3),
         "is cut short: a chunk of 13 bytes has only 10 left"},
        {header(1, 1, 480) + "MTrk" + raw({0xFF, 0xFF, 0xFF, 0xFF}) + oneNote.substr(8),
         "a chunk of 4294967295 bytes"},
        {header(1, 3, 480) + oneNote, "promises 3 tracks and holds 1"},
        {header(1, 2, 480) + oneNote + "MTr", "is cut short after track 1"},
        {header(1, 1, 480) + chunk("MTrk", raw({0, 0x90, 40})), "track 1 ends inside an event"},
        {header(1, 1, 480) + chunk("MTrk", raw({0x81, 0x82, 0x83, 0x84, 0x05})),
         "track 1 holds a number longer than four bytes"},
        {header(1, 1, 480) + chunk("MTrk", raw({0, 40, 100})), "data with no status before it"},
        {header(1, 1, 480) + chunk("MTrk", raw({0, 0x90, 40, 0x80, 0})),
         "track 1 has an event cut short"},
        {header(1, 1, 480) + chunk("MTrk", raw({0, 0xF4, 0})), "a byte (244) that is no event"},
        {header(1, 1, 480) + chunk("MTrk", raw({0, 0xFF, 0x03, 0x8F, 0xFF, 0xFF, 0x7F, 'a'})),
         "track 1 ends inside an event"},
        {header(0, 1, 480) + chunk("MTrk", runningNotes), "more than 2000000 notes"},
        {header(0, 1, 480) + chunk("MTrk", tempoFlood), "more than 100000 tempo changes"},
        // The note sounds four days at 120 a minute.
        {header(0, 1, 1) + track({{0, on(0, 40)}, {0x0FFFFFFF, off(0, 40)}}),
         "would fill more than 100000 bars"},
        {header(1, 33, 480) + manyChannels, "more than 512 tracks with notes"},
        {std::string(kLargestSongFile + 1, 'M'), "is larger than 64 MB"},
    };
    for (const auto& [file, reason] : cases) {
        const SongReading r = readMidiSong(file);
        EXPECT_NE(r.error.find(reason), std::string::npos)
            << "wanted \"" << reason << "\", got \"" << r.error << "\"";
        EXPECT_TRUE(r.song.tracks.empty() && r.song.bars.empty());
    }
}

// MuseScore 3 writes the MIDI of a score written here; the notes are the score's, read by hand
// from it, except that MuseScore releases each note one of its 480th ticks early (8 of ours).
TEST(MidiImport, ReadsWhatMuseScoreWritesOfAScore)
{
    const char* score = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="3.1">
  <part-list>
    <score-part id="P1"><part-name>Bass</part-name>
      <score-instrument id="P1-I1"><instrument-name>Electric Bass</instrument-name></score-instrument>
      <midi-instrument id="P1-I1"><midi-channel>1</midi-channel><midi-program>34</midi-program></midi-instrument>
    </score-part>
    <score-part id="P2"><part-name>Keys</part-name>
      <score-instrument id="P2-I1"><instrument-name>Electric Piano</instrument-name></score-instrument>
      <midi-instrument id="P2-I1"><midi-channel>2</midi-channel><midi-program>5</midi-program></midi-instrument>
    </score-part>
  </part-list>
  <part id="P1">
    <measure number="1">
      <attributes><divisions>2</divisions><time><beats>3</beats><beat-type>4</beat-type></time><clef><sign>F</sign><line>4</line></clef></attributes>
      <direction placement="above"><direction-type><metronome><beat-unit>quarter</beat-unit><per-minute>100</per-minute></metronome></direction-type><sound tempo="100"/></direction>
      <note><pitch><step>E</step><octave>2</octave></pitch><duration>2</duration><type>quarter</type></note>
      <note><pitch><step>A</step><octave>2</octave></pitch><duration>1</duration><type>eighth</type></note>
      <note><pitch><step>B</step><octave>2</octave></pitch><duration>3</duration><type>quarter</type><dot/></note>
    </measure>
    <measure number="2">
      <attributes><time><beats>4</beats><beat-type>4</beat-type></time></attributes>
      <note><rest/><duration>2</duration><type>quarter</type></note>
      <note><pitch><step>D</step><octave>3</octave></pitch><duration>6</duration><type>half</type><dot/></note>
    </measure>
  </part>
  <part id="P2">
    <measure number="1">
      <attributes><divisions>2</divisions><time><beats>3</beats><beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>
      <note><pitch><step>C</step><octave>4</octave></pitch><duration>6</duration><type>half</type><dot/></note>
      <note><chord/><pitch><step>E</step><octave>4</octave></pitch><duration>6</duration><type>half</type><dot/></note>
    </measure>
    <measure number="2">
      <attributes><time><beats>4</beats><beat-type>4</beat-type></time></attributes>
      <note><rest/><duration>8</duration><type>whole</type></note>
    </measure>
  </part>
</score-partwise>
)";
    const testing::TempFolder dir("quorlin-midi-import");
    std::ofstream(dir / "in.musicxml") << score;
    const std::string command = "QT_QPA_PLATFORM=offscreen mscore3 -o '" +
                                (dir / "out.mid").string() + "' '" +
                                (dir / "in.musicxml").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "mscore3 (Debian: musescore3) did not run";
    const std::string bytes = testing::slurp(dir / "out.mid");

    const SongReading r = readMidiSong(bytes);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(notesOf(r.song),
              (std::vector<std::string>{
                  "t0 bar 0 at 0 for 3832 key 40", "t0 bar 0 at 3840 for 1912 key 45",
                  "t0 bar 0 at 5760 for 5752 key 47", "t0 bar 1 at 3840 for 11512 key 50",
                  "t1 bar 0 at 0 for 11512 key 60", "t1 bar 0 at 0 for 11512 key 64"}));
    EXPECT_EQ(barsOf(r.song), (std::vector<std::string>{"3/4 11520", "4/4 15360"}));
    ASSERT_EQ(r.song.tempos.size(), 1u);
    EXPECT_DOUBLE_EQ(r.song.tempos[0].quartersPerMinute, 100);
    ASSERT_EQ(r.song.tracks.size(), 2u);
    // The score's programs count from 1.
    EXPECT_EQ(r.song.tracks[0].midiProgram, 33);
    EXPECT_EQ(r.song.tracks[1].midiProgram, 4);
}

} // namespace
} // namespace quorlin::files
