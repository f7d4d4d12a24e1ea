// MusicXML read into a song. The expected notes are written by hand from MusicXML's rules;
// MuseScore 3 is a second writer of the same music, and python's zipfile packs the .mxl files.

#include "files/MusicXmlImport.h"
#include "files/MusicXml.h"
#include "files/SongReaders.h"
#include "score/Score.h"

#include "tests/files/GuitarProPeer.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <tuple>

namespace quorlin::files {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempFolder;

// --- Writing the documents ---------------------------------------------------------------

// "E1", "F#2", "Bb0": a pitch element; "r": a rest.
std::string pitchXml(std::string_view name)
{
    if (name == "r")
        return "<rest/>";
    std::string out = "<pitch><step>" + std::string(1, name[0]) + "</step>";
    if (name[1] == '#' || name[1] == 'b')
        out += std::string("<alter>") + (name[1] == '#' ? "1" : "-1") + "</alter>";
    return out + "<octave>" + std::string(1, name.back()) + "</octave></pitch>";
}

// A note (or rest) of `duration` divisions; `before` goes before the pitch (chord, grace),
// `after` after the duration (tie, voice, staff, notations...).
std::string note(std::string_view name, int duration, std::string_view after = "",
                 std::string_view before = "")
{
    return "<note>" + std::string(before) + pitchXml(name) +
           (duration > 0 ? "<duration>" + std::to_string(duration) + "</duration>" : "") +
           std::string(after) + "</note>";
}

std::string tab(int string, int fret, std::string_view more = "")
{
    return "<notations><technical><string>" + std::to_string(string) + "</string><fret>" +
           std::to_string(fret) + "</fret>" + std::string(more) + "</technical></notations>";
}

std::string measure(int number, std::string_view music)
{
    return "<measure number=\"" + std::to_string(number) + "\">" + std::string(music) +
           "</measure>";
}

constexpr std::string_view kFourFour =
    "<attributes><divisions>4</divisions><time><beats>4</beats><beat-type>4</beat-type></time>"
    "</attributes>";

std::string partwise(std::string_view measures, std::string_view header = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\">" +
           std::string(header) +
           "<part-list><score-part id=\"P1\"><part-name>Bass</part-name></score-part>"
           "</part-list><part id=\"P1\">" +
           std::string(measures) + "</part></score-partwise>";
}

// --- Saying what was read ----------------------------------------------------------------

// Ticks as quarter notes: "3", "1/3", "5/2".
std::string quarters(std::int64_t ticks)
{
    const std::int64_t d = std::gcd(ticks, kSongTicksPerQuarter);
    const std::int64_t den = d == 0 ? 1 : kSongTicksPerQuarter / d;
    return std::to_string(d == 0 ? 0 : ticks / d) + (den == 1 ? "" : "/" + std::to_string(den));
}

std::string pitchName(int pitch)
{
    static const char* const kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
    return kNames[pitch % 12] + std::to_string(pitch / 12 - 1);
}

// "bar:start length pitch [string/fret] [technique] [marks] [~ tied on] [v voice]"
std::string describe(const SongNote& n)
{
    std::string out = std::to_string(n.bar) + ":" + quarters(n.start) + " " + quarters(n.length) +
                      " " + pitchName(n.pitch);
    if (n.string != 0 || n.fret != -1)
        out += " " + std::to_string(n.string) + "/" + std::to_string(n.fret);
    // Either way a slide goes: the file says a slide, its pitches say which way.
    static const char* const kTechniques[] = {"", " H", " P", " S", " S", " slap", " pop"};
    out += kTechniques[static_cast<int>(n.technique)];
    static const std::pair<model::NoteFlags, const char*> kMarks[] = {
        {model::kDeadNote, "dead"},  {model::kGhostNote, "ghost"},     {model::kBend, "bend"},
        {model::kHarmonic, "harm"},  {model::kVibrato, "vib"},         {model::kPalmMute, "pm"},
        {model::kLetRing, "ring"},   {model::kGraceNote, "grace"},     {model::kAccent, "acc"},
        {model::kTrill, "trill"},    {model::kTremoloPicking, "trem"}, {model::kStaccato, "stacc"},
        {model::kOtherMark, "other"}};
    for (const auto& [bit, name] : kMarks) {
        if (n.marks & bit)
            out += std::string(" ") + name;
    }
    if (n.tiedToNext)
        out += " ~";
    if (n.voice != 0)
        out += " v" + std::to_string(n.voice);
    return out;
}

std::string describe(const SongTrack& track)
{
    std::string out;
    for (const SongNote& n : track.notes)
        out += (out.empty() ? "" : "; ") + describe(n);
    return out;
}

// "3/4", with "=length" when the bar is not as long as its signature, "|:", ":|3",
// "[1,2]" and 'direction'.
std::string describeBars(const Song& song)
{
    std::string out;
    for (const SongBar& b : song.bars) {
        out += out.empty() ? "" : " ";
        out += std::to_string(b.beats) + "/" + std::to_string(b.beatType);
        if (b.length != b.beats * 4 * kSongTicksPerQuarter / b.beatType)
            out += "=" + quarters(b.length);
        if (b.repeatStart)
            out += "|:";
        if (b.repeatEnd != 0)
            out += ":|" + std::to_string(b.repeatEnd);
        if (b.endings != 0) {
            out += "[";
            for (int e = 0; e < 32; ++e) {
                if (b.endings & (1u << e))
                    out += std::to_string(e + 1) + (b.endings >> (e + 1) ? "," : "");
            }
            out += "]";
        }
        if (!b.direction.empty())
            out += "'" + b.direction + "'";
    }
    return out;
}

std::string describeTempos(const Song& song)
{
    std::string out;
    for (const SongTempo& t : song.tempos) {
        std::ostringstream line;
        line << t.bar << ":" << quarters(t.start) << "=" << t.quartersPerMinute;
        out += (out.empty() ? "" : " ") + line.str();
    }
    return out;
}

std::string describeProblems(const Song& song)
{
    std::string out;
    for (const SongProblem& p : song.problems) {
        std::ostringstream line;
        line << p.bar << ":" << p.beat << " " << p.what;
        out += (out.empty() ? "" : " | ") + line.str();
    }
    return out;
}

// --- The table ---------------------------------------------------------------------------

struct Case {
    const char* name;
    std::string document;
    std::string notes;     // of the first part
    std::string bars = {}; // checked when not empty
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> all = {
        {"pitches, alterations, rests and a chord; the measure filled by its time signature",
         partwise(measure(1, std::string(kFourFour) + note("E1", 4) + note("F#1", 2) +
                                 note("Bb0", 2) + note("r", 4) + note("A1", 2) +
                                 note("C#2", 2, "", "<chord/>") + note("r", 2))),
         "0:0 1 E1; 0:1 1/2 F#1; 0:3/2 1/2 A#0; 0:3 1/2 A1; 0:3 1/2 C#2", "4/4"},
        {"a transposing part sounds an octave below what it writes; the clef's octave is only "
         "drawn",
         partwise(measure(1, "<attributes><divisions>1</divisions><time><beats>2</beats>"
                             "<beat-type>4</beat-type></time><clef><sign>F</sign><line>4</line>"
                             "<clef-octave-change>-1</clef-octave-change></clef><transpose>"
                             "<diatonic>0</diatonic><chromatic>0</chromatic><octave-change>-1"
                             "</octave-change></transpose></attributes>" +
                                 note("E2", 1) + note("G2", 1))),
         "0:0 1 E1; 0:1 1 G1", "2/4"},
        {"two voices by backup and forward, the second voice apart",
         partwise(measure(1, std::string(kFourFour) + note("G2", 8, "<voice>1</voice>") +
                                 note("A2", 8, "<voice>1</voice>") +
                                 "<backup><duration>16</duration></backup>"
                                 "<forward><duration>4</duration></forward>" +
                                 note("E1", 4, "<voice>2</voice>") +
                                 note("r", 4, "<voice>2</voice>") +
                                 note("A1", 4, "<voice>2</voice>"))),
         "0:0 2 G2; 0:1 1 E1 v1; 0:2 2 A2; 0:3 1 A1 v1"},
        {"ties: joined over the bar line and three notes long; tied to another string it stays "
         "two",
         partwise(measure(1, std::string(kFourFour) + note("r", 8) +
                                 note("E1", 8, "<tie type=\"start\"/>")) +
                  measure(2, note("E1", 4, "<tie type=\"stop\"/><tie type=\"start\"/>") +
                                 note("E1", 4, "<tie type=\"stop\"/>") +
                                 note("A1", 8, "<tie type=\"start\"/>" + tab(3, 0))) +
                  measure(3, note("A1", 16, "<tie type=\"stop\"/>" + tab(4, 5)))),
         "0:2 4 E1; 1:2 2 A1 3/0 ~; 2:0 4 A1 4/5"},
        {"a tie drawn only as the notations' tied also joins",
         partwise(measure(1, std::string(kFourFour) +
                                 note("D2", 8, "<notations><tied type=\"start\"/></notations>") +
                                 note("D2", 8, "<notations><tied type=\"stop\"/></notations>"))),
         "0:0 4 D2"},
        {"triplets and a quintuplet: the duration already says the time",
         partwise(measure(
             1, "<attributes><divisions>15</divisions><time><beats>2</beats>"
                "<beat-type>4</beat-type></time></attributes>" +
                    note("C2", 5,
                         "<time-modification><actual-notes>3</actual-notes><normal-notes>2</"
                         "normal-notes></time-modification>") +
                    note("D2", 5,
                         "<time-modification><actual-notes>3</actual-notes><normal-notes>2</"
                         "normal-notes></time-modification>") +
                    note("E2", 5,
                         "<time-modification><actual-notes>3</actual-notes><normal-notes>2</"
                         "normal-notes></time-modification>") +
                    note("F2", 3) + note("G2", 3) + note("A2", 3) + note("B2", 3) + note("C3", 3))),
         "0:0 1/3 C2; 0:1/3 1/3 D2; 0:2/3 1/3 E2; 0:1 1/5 F2; 0:6/5 1/5 G2; 0:7/5 1/5 A2; "
         "0:8/5 1/5 B2; 0:9/5 1/5 C3"},
        {"a grace note takes no time and keeps its mark",
         partwise(measure(1, std::string(kFourFour) + note("F1", 0, "", "<grace slash=\"yes\"/>") +
                                 note("G1", 16))),
         "0:0 0 F1 grace; 0:0 4 G1"},
        {"hammer-on and pull-off on the destination, judged by pitch; slides and a glissando",
         partwise(
             measure(1, std::string(kFourFour) +
                            note("C2", 2, tab(3, 3, "<hammer-on type=\"start\">H</hammer-on>")) +
                            note("D2", 2, tab(3, 5, "<hammer-on type=\"stop\"/>")) +
                            note("C2", 2, tab(3, 3, "<hammer-on type=\"stop\"/>")) +
                            note("D2", 2, tab(3, 5, "<pull-off type=\"stop\"/>")) +
                            note("G2", 2, "<notations><slide type=\"stop\"/></notations>") +
                            note("A2", 2, "<notations><glissando type=\"stop\"/></notations>") +
                            note("B2", 2,
                                 "<notations><articulations><scoop/></articulations></notations>") +
                            note("B2", 2))),
         "0:0 1/2 C2 3/3; 0:1/2 1/2 D2 3/5 H; 0:1 1/2 C2 3/3 P; 0:3/2 1/2 D2 3/5 H; "
         "0:2 1/2 G2 S; 0:5/2 1/2 A2 S; 0:3 1/2 B2 S; 0:7/2 1/2 B2"},
        {"slap, pop, dead, ghost and the marks Quorlin only counts",
         partwise(measure(
             1,
             std::string(kFourFour) + note("E1", 1, tab(4, 0, "<pluck>T</pluck>")) +
                 note("E2", 1, tab(3, 7, "<snap-pizzicato/>")) +
                 note("A1", 1, tab(3, 0, "<thumb-position/>")) +
                 note("A1", 1, "<notehead>x</notehead>") +
                 note("A1", 1, "<notehead parentheses=\"yes\">normal</notehead>") +
                 note("B1", 1, tab(3, 2, "<bend><bend-alter>1</bend-alter></bend>")) +
                 note("A2", 1, tab(3, 12, "<harmonic/>")) +
                 note("C2", 1,
                      "<notations><ornaments><wavy-line type=\"start\"/></ornaments></notations>") +
                 note("C2", 1,
                      "<notations><ornaments><trill-mark/><wavy-line "
                      "type=\"start\"/></ornaments></notations>") +
                 note("C2", 1,
                      "<notations><ornaments><tremolo>3</tremolo></ornaments></notations>") +
                 note(
                     "C2", 1,
                     "<notations><articulations><accent/><staccato/></articulations></notations>") +
                 note("C2", 1,
                      "<notations><technical><other-technical>let "
                      "ring</other-technical></technical></notations>") +
                 note("C2", 4))),
         "0:0 1/4 E1 4/0 slap; 0:1/4 1/4 E2 3/7 pop; 0:1/2 1/4 A1 3/0 slap; 0:3/4 1/4 A1 dead; "
         "0:1 1/4 A1 ghost; 0:5/4 1/4 B1 3/2 bend; 0:3/2 1/4 A2 3/12 harm; 0:7/4 1/4 C2 vib; "
         "0:2 1/4 C2 trill; 0:9/4 1/4 C2 trem; 0:5/2 1/4 C2 acc stacc; 0:11/4 1/4 C2 ring; "
         "0:3 1 C2"},
        {"palm mute in words: under its dashes to their stop, else on the note beneath",
         partwise(measure(
             1,
             std::string(kFourFour) +
                 "<direction><direction-type><words>P.M.</words></direction-type>"
                 "<direction-type><dashes type=\"start\"/></direction-type></direction>" +
                 note("E1", 4) + note("E1", 4) +
                 "<direction><direction-type><dashes type=\"stop\"/></direction-type></direction>" +
                 note("G1", 4) +
                 "<direction><direction-type><words>palm "
                 "mute</words></direction-type></direction>" +
                 note("A1", 2) + note("A1", 2))),
         "0:0 1 E1 pm; 0:1 1 E1 pm; 0:2 1 G1; 0:3 1/2 A1 pm; 0:7/2 1/2 A1"},
        {"rests only, one of them a whole measure's",
         partwise(measure(1, std::string(kFourFour) +
                                 "<note><rest measure=\"yes\"/><duration>16</duration></note>") +
                  measure(2, note("r", 8) + note("r", 8))),
         "", "4/4 4/4"},
        {"notation above its tab: each note once, from the tab, with the marks of both; one the "
         "tab lacks is kept",
         partwise(measure(1, "<attributes><divisions>1</divisions><time><beats>2</beats>"
                             "<beat-type>4</beat-type></time><staves>2</staves><clef number=\"1\">"
                             "<sign>F</sign></clef><clef number=\"2\"><sign>TAB</sign></clef>"
                             "</attributes>" +
                                 note("A1", 1,
                                      "<voice>1</voice><staff>1</staff><notations><technical>"
                                      "<pluck>T</pluck></technical></notations>") +
                                 note("E2", 1, "<voice>1</voice><staff>1</staff>", "<chord/>") +
                                 note("D2", 1, "<voice>1</voice><staff>1</staff>") +
                                 "<backup><duration>2</duration></backup>" +
                                 note("A1", 1, "<voice>5</voice><staff>2</staff>" + tab(3, 0)) +
                                 note("D2", 1, "<voice>5</voice><staff>2</staff>" + tab(3, 5)))),
         "0:0 1 A1 3/0 slap; 0:0 1 E2; 0:1 1 D2 3/5", "2/4"},
        {"marks Quorlin does not take are other marks; a fingering or a plucking finger is none",
         partwise(measure(
             1,
             std::string(kFourFour) + note("E1", 2, tab(4, 0, "<tap/>")) +
                 note("E1", 2, "<notations><articulations><tenuto/></articulations></notations>") +
                 note("E1", 2, "<notations><ornaments><turn/></ornaments></notations>") +
                 note("E1", 2, "<notations><fermata/></notations>") +
                 note("E1", 2, tab(4, 0, "<pluck>X</pluck>")) +
                 note("E1", 2, tab(4, 0, "<fingering>1</fingering>")) +
                 note("E1", 4, tab(4, 0, "<pluck>i</pluck>")))),
         "0:0 1/2 E1 4/0 other; 0:1/2 1/2 E1 other; 0:1 1/2 E1 other; 0:3/2 1/2 E1 other; "
         "0:2 1/2 E1 4/0 other; 0:5/2 1/2 E1 4/0; 0:3 1 E1 4/0"},
    };
    return all;
}

TEST(MusicXmlImport, EachDocumentReadsAsTheNotesItsRulesGive)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const SongReading reading = readMusicXmlSong(c.document);
        ASSERT_TRUE(reading.ok()) << reading.error;
        ASSERT_EQ(reading.song.tracks.size(), 1u);
        EXPECT_EQ(describe(reading.song.tracks[0]), c.notes);
        if (!c.bars.empty()) {
            EXPECT_EQ(describeBars(reading.song), c.bars);
        }
        EXPECT_EQ(describeProblems(reading.song), "");
    }
}

std::string staffTuning(int line, std::string_view name)
{
    std::string out = "<staff-tuning line=\"" + std::to_string(line) + "\"><tuning-step>" +
                      std::string(1, name[0]) + "</tuning-step>";
    if (name[1] == '#' || name[1] == 'b')
        out += std::string("<tuning-alter>") + (name[1] == '#' ? "1" : "-1") + "</tuning-alter>";
    return out + "<tuning-octave>" + std::string(1, name.back()) +
           "</tuning-octave></staff-tuning>";
}

// A part of its own with a tablature staff tuned from the lowest line up.
std::string tabPart(const std::string& id, std::vector<std::string_view> lowToHigh,
                    std::string_view music, std::string_view extra = "")
{
    std::string details =
        "<staff-details><staff-lines>" + std::to_string(lowToHigh.size()) + "</staff-lines>";
    for (std::size_t i = 0; i < lowToHigh.size(); ++i)
        details += staffTuning(static_cast<int>(i) + 1, lowToHigh[i]);
    details += std::string(extra) + "</staff-details>";
    return "<part id=\"" + id +
           "\"><measure number=\"1\"><attributes><divisions>1</divisions>"
           "<time><beats>4</beats><beat-type>4</beat-type></time><clef><sign>TAB</sign></clef>" +
           details + "</attributes>" + std::string(music) + "</measure></part>";
}

std::string scorePart(const std::string& id, const std::string& name, int program, int channel = 1)
{
    return "<score-part id=\"" + id + "\"><part-name>" + name +
           "</part-name><score-instrument id=\"" + id + "-I1\"><instrument-name>" + name +
           " (instrument)</instrument-name></score-instrument><midi-instrument id=\"" + id +
           "-I1\"><midi-channel>" + std::to_string(channel) + "</midi-channel><midi-program>" +
           std::to_string(program) + "</midi-program></midi-instrument></score-part>";
}

// Several parts: their names, programs counted from 0, tunings highest first, capo, and notes.
TEST(MusicXmlImport, PartsKeepTheirInstrumentTuningAndPlaces)
{
    const std::string document =
        "<?xml version=\"1.0\"?><score-partwise version=\"3.1\"><part-list>" +
        scorePart("P1", "Five", 34) + scorePart("P2", "Six", 35) + scorePart("P3", "Guitar", 28) +
        scorePart("P4", "Drums", 1, 10) + scorePart("P5", "Shaker", 1) +
        scorePart("P6", "Empty", 33) + "</part-list>" +
        tabPart("P1", {"B0", "E1", "A1", "D2", "G2"},
                note("C#1", 1, tab(5, 2)) + note("D2", 1, tab(1, 7))) +
        tabPart("P2", {"B0", "E1", "A1", "D2", "G2", "C3"},
                note("B0", 1, tab(6, 0)) + note("F3", 1, tab(1, 5))) +
        tabPart("P3", {"E2", "A2", "D3", "G3", "B3", "E4"},
                note("F#4", 2, tab(1, 0)) + note("B2", 2, tab(5, 0)), "<capo>2</capo>") +
        "<part id=\"P4\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>" +
        note("C2", 4) + "</measure></part>" +
        "<part id=\"P5\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>"
        "<note><unpitched><display-step>E</display-step><display-octave>4</display-octave>"
        "</unpitched><duration>4</duration></note></measure></part>"
        "<part id=\"P6\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>" +
        note("r", 4) + "</measure></part></score-partwise>";
    const SongReading reading = readMusicXmlSong(document);
    ASSERT_TRUE(reading.ok()) << reading.error;
    const std::vector<SongTrack>& t = reading.song.tracks;
    ASSERT_EQ(t.size(), 6u);
    struct Expected {
        const char* name;
        int program;
        bool percussion;
        std::vector<int> tuning;
        int capo;
        const char* notes;
    };
    const Expected expected[] = {
        {"Five", 33, false, {43, 38, 33, 28, 23}, 0, "0:0 1 C#1 5/2; 0:1 1 D2 1/7"},
        {"Six", 34, false, {48, 43, 38, 33, 28, 23}, 0, "0:0 1 B0 6/0; 0:1 1 F3 1/5"},
        {"Guitar", 27, false, {64, 59, 55, 50, 45, 40}, 2, "0:0 2 F#4 1/0; 0:2 2 B2 5/0"},
        {"Drums", 0, true, {}, 0, "0:0 4 C2"},
        {"Shaker", 0, true, {}, 0, "0:0 4 E4"},
        {"Empty", 32, false, {}, 0, ""},
    };
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(t[i].name, expected[i].name);
        EXPECT_EQ(t[i].instrument, std::string(expected[i].name) + " (instrument)");
        EXPECT_EQ(t[i].midiProgram, expected[i].program);
        EXPECT_EQ(t[i].percussion, expected[i].percussion);
        EXPECT_EQ(t[i].tuning, expected[i].tuning);
        EXPECT_EQ(t[i].capo, expected[i].capo);
        EXPECT_EQ(describe(t[i]), expected[i].notes);
    }
}

TEST(MusicXmlImport, HeaderFromWorkIdentificationAndCredits)
{
    const SongReading reading = readMusicXmlSong(partwise(
        measure(1, std::string(kFourFour)),
        "<work><work-title>Night Shift</work-title></work><movement-title>Take 2"
        "</movement-title><identification><creator type=\"composer\">Ann Composer</creator>"
        "<creator type=\"lyricist\">Lee Words</creator><creator type=\"arranger\">Tab Person"
        "</creator><rights>(c) 2020 Someone</rights></identification>"
        "<credit page=\"1\"><credit-type>title</credit-type><credit-words>Not this one"
        "</credit-words></credit>"));
    ASSERT_TRUE(reading.ok()) << reading.error;
    const Song& s = reading.song;
    EXPECT_EQ(s.title, "Night Shift");
    EXPECT_EQ(s.subtitle, "Take 2");
    EXPECT_EQ(s.music, "Ann Composer");
    EXPECT_EQ(s.words, "Lee Words");
    EXPECT_EQ(s.author, "Tab Person");
    EXPECT_EQ(s.copyright, "(c) 2020 Someone");

    // A writer that keeps its title only in a credit.
    const SongReading credited = readMusicXmlSong(partwise(
        measure(1, std::string(kFourFour)),
        "<movement-title></movement-title><credit page=\"1\"><credit-type>title</credit-type>"
        "<credit-words>From The Credit</credit-words></credit>"));
    EXPECT_EQ(credited.song.title, "From The Credit");
}

std::string barline(std::string_view location, std::string_view inside)
{
    return "<barline location=\"" + std::string(location) + "\">" + std::string(inside) +
           "</barline>";
}

std::string words(std::string_view text)
{
    return "<direction><direction-type><words>" + std::string(text) +
           "</words></direction-type></direction>";
}

// Repeats and voltas as written, directions said; the time signature and its changes, a
// pickup, and the tempo wherever it is said.
TEST(MusicXmlImport, BarsRepeatsEndingsDirectionsAndTempos)
{
    const std::string document = partwise(
        "<measure number=\"0\" implicit=\"yes\"><attributes><divisions>1</divisions><time>"
        "<beats>3</beats><beat-type>4</beat-type></time></attributes><direction>"
        "<direction-type><metronome><beat-unit>quarter</beat-unit><beat-unit-dot/>"
        "<per-minute>80</per-minute></metronome></direction-type></direction>" +
        note("E1", 1) + "</measure>" +
        measure(1, barline("left", "<repeat direction=\"forward\"/>") +
                       "<direction><direction-type><segno/></direction-type></direction>" +
                       note("E1", 3)) +
        measure(2, note("E1", 1) + words("rit.") +
                       "<direction><direction-type><words>a tempo</words></direction-type>"
                       "<sound tempo=\"90\"/></direction>" +
                       note("E1", 2)) +
        measure(3, barline("left", "<ending number=\"1, 2\" type=\"start\"/>") + note("E1", 3)) +
        measure(4,
                note("E1", 3) + barline("right", "<ending number=\"1, 2\" type=\"stop\"/>"
                                                 "<repeat direction=\"backward\" times=\"3\"/>")) +
        measure(5, barline("left", "<ending number=\"3\" type=\"start\"/>") +
                       "<attributes><time><beats>3+2</beats><beat-type>8</beat-type></time>"
                       "</attributes>" +
                       note("E1", 1) + "<sound tempo=\"140\"/>" + note("E1", 1) +
                       barline("right", "<ending number=\"3\" type=\"discontinue\"/>")) +
        measure(6,
                "<attributes><time><beats>4</beats><beat-type>4</beat-type></time></attributes>" +
                    words("D.S. al Coda") + note("E1", 4)) +
        measure(7, words("Fine") + "<sound fine=\"yes\"/>" + note("E1", 4)));
    const SongReading reading = readMusicXmlSong(document);
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(describeBars(reading.song),
              "3/4=1 3/4|:'Segno' 3/4 3/4[1,2] 3/4:|3[1,2] 5/8[3] 4/4'D.S. al Coda' 4/4'Fine'");
    EXPECT_EQ(describeTempos(reading.song), "0:0=120 2:1=90 5:1=140");
    EXPECT_EQ(describeProblems(reading.song), "");
}

// Everything read: the header's title, each part's setup and notes, the bars and the tempos.
std::string describeSong(const Song& song)
{
    std::string out = song.title + "\n" + describeBars(song) + "\n" + describeTempos(song) + "\n";
    for (const SongTrack& t : song.tracks) {
        out += t.name + " " + std::to_string(t.midiProgram) + " [";
        for (const int pitch : t.tuning)
            out += " " + pitchName(pitch);
        out += " ] " + describe(t) + "\n";
    }
    return out;
}

// The same two parts, two measures, written partwise and timewise.
TEST(MusicXmlImport, TimewiseReadsAsThePartwiseScore)
{
    const std::string list = "<part-list><score-part id=\"P1\"><part-name>Bass</part-name>"
                             "</score-part><score-part id=\"P2\"><part-name>Keys</part-name>"
                             "</score-part></part-list>";
    const std::string a1 = std::string(kFourFour) + note("E1", 8, "<tie type=\"start\"/>") +
                           note("E1", 8, "<tie type=\"stop\"/>");
    const std::string a2 = note("G1", 4) + note("r", 4) + note("A1", 8);
    const std::string b1 = std::string(kFourFour) + note("C4", 16) + "<backup><duration>16" +
                           "</duration></backup>" + note("E4", 16, "<voice>2</voice>");
    const std::string b2 = barline("left", "<repeat direction=\"forward\"/>") + note("D4", 16) +
                           barline("right", "<repeat direction=\"backward\"/>");
    const std::string partwise = "<score-partwise version=\"2.0\">" + list + "<part id=\"P1\">" +
                                 measure(1, a1) + measure(2, a2) + "</part><part id=\"P2\">" +
                                 measure(1, b1) + measure(2, b2) + "</part></score-partwise>";
    const auto both = [](int n, const std::string& a, const std::string& b) {
        return "<measure number=\"" + std::to_string(n) + "\"><part id=\"P1\">" + a +
               "</part><part id=\"P2\">" + b + "</part></measure>";
    };
    const std::string timewise = "<?xml version=\"1.0\"?><!DOCTYPE score-timewise PUBLIC "
                                 "\"-//Recordare//DTD MusicXML 2.0 Timewise//EN\" "
                                 "\"http://www.musicxml.org/dtds/timewise.dtd\">"
                                 "<score-timewise version=\"2.0\">" +
                                 list + both(1, a1, b1) + both(2, a2, b2) + "</score-timewise>";
    const SongReading fromParts = readMusicXmlSong(partwise);
    const SongReading fromTimes = readMusicXmlSong(timewise);
    ASSERT_TRUE(fromParts.ok()) << fromParts.error;
    ASSERT_TRUE(fromTimes.ok()) << fromTimes.error;
    EXPECT_EQ(describeSong(fromParts.song),
              "\n4/4 4/4|::|2\n\nBass -1 [ ] 0:0 4 E1; 1:0 1 G1; 1:2 2 A1\n"
              "Keys -1 [ ] 0:0 4 C4; 0:0 4 E4 v1; 1:0 4 D4\n");
    EXPECT_EQ(describeSong(fromTimes.song), describeSong(fromParts.song));
}

// Quorlin's own export writes notation and tab of the same notes: each is read once, from the
// tab staff, with its string, fret and technique.
TEST(MusicXmlImport, OwnExportReadsBackEachNoteOnce)
{
    const struct {
        const char* tab;
        const char* notes;
    } cases[] = {
        {"|   q  q  q  q  q  q\nG --5H-7P-5\\-9/-5---\nD ------------------\n"
         "A ------------------\nE ---------------/-3\n>",
         "0:0 1 C3 1/5; 0:1 1 D3 1/7 H; 0:2 1 C3 1/5 P; 0:3 1 E3 1/9 S; 1:0 1 C3 1/5 S; "
         "1:1 1 G1 4/3 S"},
        // The slapped half note crosses the bar line: written tied, read as one.
        {"|  h.  h  q\nG --5--7---\nD --------7\nA ---------\nE ---------\n>      +  .",
         "0:0 3 C3 1/5; 0:3 2 D3 1/7 slap; 1:1 1 A2 2/7 pop"},
        {"|   e  e  e  q\nG --------------\nD --------------\nA --0~~2~~3-----\nE "
         "-----------0--\n>",
         "0:0 1/3 A1 3/0; 0:1/3 1/3 B1 3/2; 0:2/3 1/3 C2 3/3; 0:1 1 E1 4/0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tab);
        std::vector<std::string_view> lines;
        for (std::string_view rest = c.tab; !rest.empty();) {
            const std::size_t end = std::min(rest.find('\n'), rest.size());
            lines.push_back(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        instrument::Tuning tuning;
        tuning.followStringCount(instrument::kMinStrings, 4);
        const score::Score score = score::readScore(lines, instrument::StringCount(4), tuning, 120);
        const SongReading reading = readMusicXmlSong(musicXmlText(score, tuning, {}));
        ASSERT_TRUE(reading.ok()) << reading.error;
        ASSERT_EQ(reading.song.tracks.size(), 1u);
        EXPECT_EQ(describe(reading.song.tracks[0]), c.notes);
        EXPECT_EQ(reading.song.tracks[0].tuning, (std::vector<int>{43, 38, 33, 28}));
        EXPECT_EQ(describeTempos(reading.song), "0:0=120");
    }
}

// A zip packed by python's zipfile from `args` (see make_zip.py).
std::string zipped(const TempFolder& folder, const std::string& args)
{
    const fs::path out = folder / "packed.mxl";
    fs::remove(out);
    const std::string command =
        "python3 '" QUORLIN_FILES_DATA "/../make_zip.py' '" + out.string() + "' " + args;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return slurp(out);
}

const fs::path kGroove = fs::path(QUORLIN_FILES_DATA) / "musicxml" / "groove.musicxml";

TEST(MusicXmlImport, CompressedScoreIsTheOneItsContainerNames)
{
    const TempFolder folder("quorlin-mxl");
    const std::string expected = describeSong(readMusicXmlSong(slurp(kGroove)).song);
    {
        std::ofstream(folder / "container.xml")
            << "<?xml version=\"1.0\"?><container><rootfiles><rootfile "
               "full-path=\"scores/groove.musicxml\" media-type=\"application/"
               "vnd.recordare.musicxml+xml\"/></rootfiles></container>";
        std::ofstream(folder / "decoy.xml") << "<score-partwise/>";
    }
    const std::string decoy = (folder / "decoy.xml").string();
    const std::string groove = kGroove.string();
    const struct {
        const char* name;
        std::string args;
    } cases[] = {
        {"the container names a score in a folder, after a decoy at the top",
         "decoy.xml '" + decoy + "' META-INF/container.xml '" +
             (folder / "container.xml").string() + "' scores/groove.musicxml '" + groove + "'"},
        {"no container: the first score at the top", "art/cover.xml '" + decoy +
                                                         "' groove.musicxml '" + groove +
                                                         "' later.xml '" + decoy + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SongReading reading = readMusicXmlSong(zipped(folder, c.args));
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_EQ(describeSong(reading.song), expected);
    }
}

// MuseScore 3 writes the same music its own way (and compressed): the same song is read from
// all three.
TEST(MusicXmlImport, MuseScoreRewriteReadsAsTheSameSong)
{
    if (std::system("command -v mscore3 >/dev/null") != 0)
        GTEST_SKIP() << "MuseScore 3 is not installed";
    const TempFolder folder("quorlin-mxl");
    const SongReading original = readMusicXmlSong(slurp(kGroove));
    ASSERT_TRUE(original.ok()) << original.error;
    // Written by hand with the file: what its notes are by MusicXML's rules.
    EXPECT_EQ(describe(original.song.tracks.at(0)),
              "0:0 1 B0 5/0; 0:1 1/3 E1 4/0; 0:4/3 1/3 F#1 4/2; 0:5/3 1/3 G1 4/3; 0:2 1 A1 3/0; "
              "0:3 2 D2 2/0; 1:1 1/2 E1 4/0; 1:1 1/2 B1 3/2; 1:2 2 C#1 5/2; 2:0 4 G2 1/0; "
              "3:0 2 A1 3/0; 3:2 2 E1 4/0");
    EXPECT_EQ(describeBars(original.song), "4/4 4/4|: 4/4:|2[1] 4/4[2]");
    EXPECT_EQ(describeTempos(original.song), "0:0=100 3:0=80");
    for (const char* kind : {"musicxml", "mxl"}) {
        SCOPED_TRACE(kind);
        const fs::path out = folder / (std::string("rewritten.") + kind);
        // MuseScore keeps settings in the home folder: it gets one of its own.
        const std::string home = (folder / "home").string();
        const std::string command = "mkdir -p -m 700 '" + home + "/runtime' && HOME='" + home +
                                    "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" +
                                    home + "/data' XDG_CACHE_HOME='" + home +
                                    "/cache' XDG_RUNTIME_DIR='" + home +
                                    "/runtime' QT_QPA_PLATFORM=offscreen timeout 60 "
                                    "mscore3 -o '" +
                                    out.string() + "' '" + kGroove.string() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const SongReading rewritten = readMusicXmlSong(slurp(out));
        ASSERT_TRUE(rewritten.ok()) << rewritten.error;
        EXPECT_EQ(describeSong(rewritten.song), describeSong(original.song));
    }
}

// A whole piece of nine tracks that MuseScore 3 opened as Guitar Pro 5 and saved as MusicXML
// (data/musicxml/LICENSE): each pitched note alphaTab reads in the Guitar Pro file sounds at
// its time and pitch in its track, and no other, but where MuseScore wrote other music.
TEST(MusicXmlImport, MuseScoreExportOfAWholePieceSoundsAsItsGuitarProFile)
{
    // A bar MuseScore reads otherwise than alphaTab, seen in the file: it ties an A4 on into
    // it through bars alphaTab reads empty, where alphaTab starts a B4.
    const std::set<std::pair<int, int>> readOtherwise = {{3, 222}}; // track, bar
    const fs::path data = fs::path(QUORLIN_FILES_DATA) / "musicxml";
    const SongReading reading = readMusicXmlSong(slurp(data / "canon.mxl"));
    ASSERT_TRUE(reading.ok()) << reading.error;
    const peer::PeerSong song = peer::peerSong(peer::linesOf(testing::run(
        "node '" QUORLIN_GP_NOTES "' '" + (data / "canon.gp5").string() + "' 2>/dev/null")));
    ASSERT_FALSE(song.notes.empty()) << "alphaTab (tests/peers) read nothing";
    std::vector<std::int64_t> barStarts{0}; // by bar from 0
    for (const peer::PeerBar& bar : song.bars)
        barStarts.push_back(barStarts.back() + bar.length);
    using Sounding = std::pair<std::int64_t, int>; // from the song's start, pitch
    std::map<int, std::multiset<Sounding>> expected;
    // MuseScore writes a harmonic's sounding pitch as a chord note of its own, marked as
    // nothing: a note at the time of a harmonic may be one more.
    std::map<int, std::set<std::int64_t>> harmonics;
    for (const peer::PeerNote& n : song.notes) {
        const std::int64_t at = barStarts[n.bar] + n.onset;
        if (n.string > 0 && !readOtherwise.contains({n.track, n.bar + 1})) // a drum has none
            expected[n.track].insert({at, song.tunings.at(n.track).at(n.string - 1) + n.fret});
        if (n.techniques.find("harmonic") != std::string::npos)
            harmonics[n.track].insert(at);
    }
    ASSERT_EQ(reading.song.tracks.size(), 9u);
    std::vector<std::int64_t> starts{0};
    for (const SongBar& bar : reading.song.bars)
        starts.push_back(starts.back() + bar.length);
    for (const auto& [track, peer] : expected) {
        SCOPED_TRACE(reading.song.tracks[track - 1].name);
        std::multiset<Sounding> read;
        for (const SongNote& n : reading.song.tracks[track - 1].notes) {
            // alphaTab lists no grace notes
            if ((n.marks & model::kGraceNote) == 0 && !readOtherwise.contains({track, n.bar + 1}))
                read.insert({starts[n.bar] + n.start, n.pitch});
        }
        std::vector<Sounding> missing, extra;
        std::set_difference(peer.begin(), peer.end(), read.begin(), read.end(),
                            std::back_inserter(missing));
        std::set_difference(read.begin(), read.end(), peer.begin(), peer.end(),
                            std::back_inserter(extra));
        std::erase_if(extra, [&](const Sounding& n) { return harmonics[track].contains(n.first); });
        EXPECT_EQ(missing.size(), 0u)
            << "of " << peer.size() << ", the first at tick " << missing.front().first << " pitch "
            << missing.front().second;
        EXPECT_EQ(extra.size(), 0u)
            << "the first at tick " << extra.front().first << " pitch " << extra.front().second;
    }
}

// MuseScore 3 rewrote the MusicXML of a tab of techniques, its slap on the notation staff
// alone and its hammer-on and pull-off as slurs alone. The times, pitches and techniques are
// the tab's, read by hand; the strings and frets MuseScore chose anew.
TEST(MusicXmlImport, MuseScoreTechniquesAreTheTabs)
{
    const SongReading reading = readMusicXmlSong(
        slurp(fs::path(QUORLIN_FILES_DATA) / "musicxml" / "techniques-musescore.musicxml"));
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(describe(reading.song.tracks.at(0)),
              "0:0 1/2 D2 2/0; 0:1/2 1/2 E2 2/2 H; 0:1 1/2 D2 2/0 P; 0:3/2 1/2 E2 2/2; "
              "0:2 1/2 F#2 2/4 S; 0:5/2 1/2 G1 4/3 slap; 0:3 1/2 G2 1/0 pop; 1:0 1 A1 3/0; "
              "1:1 1 E2 2/2; 1:2 1 D3 1/7; 1:3 1 C3 1/5; 2:0 1 F1 4/1; 2:1 1 G1 4/3; "
              "2:2 1/2 B1 3/2; 2:5/2 1/2 C#2 3/4; 2:3 1/2 E2 2/2; 2:7/2 1/2 F#2 2/4; 3:0 2 E1 4/0");
}

// A file in UTF-16, as some writers save it, reads as its UTF-8 twin, its format told by
// its bytes.
TEST(MusicXmlImport, Utf16ReadsAsUtf8)
{
    std::string utf8 = slurp(kGroove);
    const std::string declared = "encoding=\"UTF-8\"";
    utf8.replace(utf8.find(declared), declared.size(), "encoding=\"UTF-16\"");
    // Little-endian after its mark; the file is ASCII.
    const SongReading reading = readSong(testing::utf16Bytes(utf8, false, true), "groove.musicxml");
    ASSERT_TRUE(reading.ok()) << reading.error;
    EXPECT_EQ(describeSong(reading.song), describeSong(readMusicXmlSong(slurp(kGroove)).song));
}

// Files that are damaged or made to hurt: refused with a reason, or read with what is wrong
// bounded and listed.
TEST(MusicXmlImport, HostileFilesAreRefusedOrBoundedAndListed)
{
    const TempFolder folder("quorlin-mxl");
    const std::string groove = slurp(kGroove);
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE score-partwise [<!ENTITY lol \"lol\">"
        "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>"
        "<score-partwise><work><work-title>&lol3;</work-title></work></score-partwise>";
    const std::string outside =
        "<?xml version=\"1.0\"?><!DOCTYPE score-partwise [<!ENTITY x SYSTEM "
        "\"file:///etc/passwd\">]><score-partwise><movement-title>&x;</movement-title>"
        "</score-partwise>";
    std::string parts = "<score-partwise><part-list>";
    for (int i = 0; i <= static_cast<int>(kMostSongTracks); ++i)
        parts += "<score-part id=\"P" + std::to_string(i) + "\"/>";
    parts += "</part-list></score-partwise>";
    std::string measures = "<score-partwise><part id=\"P1\">";
    for (std::size_t i = 0; i <= kMostSongBars; ++i)
        measures += "<measure/>";
    measures += "</part></score-partwise>";
    {
        std::ofstream(folder / "groove.musicxml", std::ios::binary) << groove;
    }
    const std::string grooveFile = (folder / "groove.musicxml").string();

    const struct {
        const char* name;
        std::string bytes;
        const char* error;    // a part of the reason it is refused, or "" when read
        const char* problems; // a part of what is listed when read
        const char* notes = nullptr;
    } cases[] = {
        {"cut in half", groove.substr(0, groove.size() / 2), "is not well-formed XML", ""},
        {"nothing", "", "is not well-formed XML", ""},
        {"not XML", "\x01\x02garbage\xff", "is not well-formed XML", ""},
        {"a billion laughs", laughs, "declares entities of its own", ""},
        {"an entity from outside", outside, "declares entities of its own", ""},
        {"an opus", "<opus><title>Book</title></opus>", "MusicXML opus", ""},
        {"some other XML", "<html><body/></html>", "is not a MusicXML score", ""},
        {"larger than a song file may be", std::string(kLargestSongFile + 1, ' '),
         "is larger than 64 MB", ""},
        {"too many parts", parts, "has more than 512 parts", ""},
        {"too many measures", measures, "has more than 100000 measures", ""},
        {"a damaged zip", std::string("PK\x03\x04", 4) + std::string(200, '\x07'),
         "is a damaged zip archive", ""},
        {"a zip without a score", zipped(folder, "notes.txt '" + grooveFile + "'"),
         "without a MusicXML score", ""},
        {"a zip bomb", zipped(folder, "--zeros bomb.xml 70000000"),
         "unpacks bomb.xml to more than 64 MB", ""},
        {"a zip bomb that says it is small",
         zipped(folder, "--zeros bomb.xml 70000000 --declare 1000"),
         "unpacks bomb.xml to more than 64 MB", ""},
        {"a measure of a million beats",
         partwise(measure(1, "<attributes><divisions>1</divisions><time><beats>1000000</beats>"
                             "<beat-type>4</beat-type></time></attributes>" +
                                 note("E1", 4))),
         "", "1:1 a time signature of 1000000/4 is kept at 4/4", "0:0 4 E1"},
        {"a note longer than any measure",
         partwise(measure(1, "<attributes><divisions>1</divisions></attributes>" + note("E1", 1) +
                                 note("A1", 2000000000) + note("D2", 1))),
         "", "1:2 the measure runs past 1024 quarter notes", "0:0 1 E1; 0:1 1023 A1"},
        {"a negative duration, and a backup past the measure's start",
         partwise(measure(1, "<attributes><divisions>2</divisions></attributes>" + note("E1", 2) +
                                 "<note><pitch><step>A</step><octave>1</octave>"
                                 "</pitch><duration>-8</duration></note>" +
                                 "<backup><duration>40</duration></backup>" + note("D2", 2))),
         "", "1:2 a negative duration is taken as none | 1:2 a backup goes back before",
         "0:0 1 E1; 0:0 1 D2; 0:1 0 A1"},
        {"divisions of none and of a trillion",
         partwise(measure(1, "<attributes><divisions>0</divisions></attributes>" + note("E1", 1) +
                                 "<attributes><divisions>700000000000</divisions></attributes>" +
                                 note("G1", 1))),
         "", "divisions of 0 are no measure of time: kept at 1", "0:0 1 E1; 0:1 1 G1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SongReading reading = readMusicXmlSong(c.bytes);
        if (*c.error != '\0') {
            EXPECT_NE(reading.error.find(c.error), std::string::npos) << reading.error;
            continue;
        }
        ASSERT_TRUE(reading.ok()) << reading.error;
        EXPECT_NE(describeProblems(reading.song).find(c.problems), std::string::npos)
            << describeProblems(reading.song);
        EXPECT_EQ(describe(reading.song.tracks.at(0)), c.notes);
    }
}

} // namespace
} // namespace quorlin::files
