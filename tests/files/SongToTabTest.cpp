// Songs built by hand made tabs: the expected blocks are written cell by cell from the tab's
// rules (a rhythm cell, a cell per string, the articulation cell), not taken from the writer.

#include "files/SongToTab.h"
#include "score/Score.h"
#include "tabtext/TabCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quorlin::files {
namespace {

constexpr std::int64_t Q = kSongTicksPerQuarter;
constexpr std::int64_t S = Q / 4;
constexpr std::int64_t E = Q / 2;
constexpr std::int64_t H = Q * 2;

const std::vector<int> kBass = {43, 38, 33, 28};

Song bars(int count, int beats = 4, int beatType = 4)
{
    Song song;
    SongBar bar;
    bar.length = Q * 4 * beats / beatType;
    bar.beats = beats;
    bar.beatType = beatType;
    song.bars.assign(static_cast<std::size_t>(count), bar);
    return song;
}

SongNote note(int bar, std::int64_t start, std::int64_t length, int string, int fret,
              model::Technique technique = model::Technique::Plain, model::NoteFlags marks = 0)
{
    SongNote n;
    n.bar = bar;
    n.start = start;
    n.length = length;
    n.string = string;
    n.fret = fret;
    // On the bass's strings; withNotes sounds it on the track's own tuning.
    if (string >= 1 && static_cast<std::size_t>(string) <= kBass.size())
        n.pitch = kBass[static_cast<std::size_t>(string - 1)] + fret;
    n.technique = technique;
    n.marks = marks;
    return n;
}

SongNote pitch(int bar, std::int64_t start, std::int64_t length, int midi)
{
    SongNote n;
    n.bar = bar;
    n.start = start;
    n.length = length;
    n.pitch = midi;
    return n;
}

SongTrack track(std::vector<SongNote> notes, std::vector<int> tuning = kBass)
{
    SongTrack t;
    t.name = "Bass";
    t.tuning = std::move(tuning);
    t.notes = std::move(notes);
    return t;
}

// The block's heads put before its rows: "| ", the strings' names, then "> ", or blanks when
// the tab opens with a rest.
std::vector<std::string> block(const std::vector<std::string>& names,
                               const std::vector<std::string>& rows)
{
    std::vector<std::string> lines{"| " + rows.front()};
    for (std::size_t s = 0; s < names.size(); ++s)
        lines.push_back(names[s] + rows[s + 1]);
    const bool restFirst = rows.back().size() >= 3 && rows.back()[2] == 'r';
    lines.push_back((restFirst ? "  " : "> ") + rows.back());
    return lines;
}

const std::vector<std::string> kFour = {"G ", "D ", "A ", "E "};

struct Case {
    const char* what;
    Song song;
    bool repeatsOnce;
    std::vector<std::string> names;
    std::vector<std::string> rows;
    // Each listed problem's bar and beat.
    std::vector<std::pair<int, double>> places;
};

Song withNotes(Song song, std::vector<SongNote> notes, std::vector<int> tuning = kBass)
{
    for (SongNote& n : notes) {
        if (n.string >= 1 && static_cast<std::size_t>(n.string) <= tuning.size())
            n.pitch = tuning[static_cast<std::size_t>(n.string - 1)] + n.fret;
    }
    song.tracks.push_back(track(std::move(notes), std::move(tuning)));
    return song;
}

// Four bars of one beat, a quarter on the A string in each (frets 1 to 4), with repeat signs.
Song repeated(std::vector<std::tuple<bool, int, std::uint32_t>> signs)
{
    Song song = bars(static_cast<int>(signs.size()), 1, 4);
    std::vector<SongNote> notes;
    for (std::size_t b = 0; b < signs.size(); ++b) {
        std::tie(song.bars[b].repeatStart, song.bars[b].repeatEnd, song.bars[b].endings) = signs[b];
        notes.push_back(note(static_cast<int>(b), 0, Q, 3, static_cast<int>(b) + 1));
    }
    return withNotes(song, notes);
}

std::vector<Case> cases()
{
    using enum model::Technique;
    const auto voltas = repeated({{true, 0, 0}, {false, 2, 1u}, {false, 0, 2u}, {false, 0, 0}});
    std::vector<Case> list = {
        {"voltas played out",
         voltas,
         false,
         kFour,
         {"  q  q  q  q  q", "---------------", "---------------", "--1--2--1--3--4",
          "---------------", "               "},
         {}},
        {"voltas written once",
         voltas,
         true,
         kFour,
         {"  q  q  q  q", "------------", "------------", "--1--2--3--4", "------------",
          "            "},
         {}},
        {"a repeat with no start plays from the top, three times",
         repeated({{false, 0, 0}, {false, 3, 0}}),
         false,
         kFour,
         {"  q  q  q  q  q  q", "------------------", "------------------", "--1--2--1--2--1--2",
          "------------------", "                  "},
         {}},
        {"a repeat from its start sign",
         repeated({{false, 0, 0}, {true, 0, 0}, {false, 2, 0}, {false, 0, 0}}),
         false,
         kFour,
         {"  q  q  q  q  q  q", "------------------", "------------------", "--1--2--3--2--3--4",
          "------------------", "                  "},
         {}},
        {"a note across a bar",
         withNotes(bars(2), {note(0, 3 * Q, H, 3, 5), note(1, Q, Q, 3, 7)}),
         false,
         kFour,
         {" h.  h  q  h", "------------", "------------", "-----5--7---", "------------",
          "  r        r"},
         {}},
        {"a quintuplet goes to sixteenths and the beat after it stays",
         withNotes(bars(1),
                   {note(0, 0, 1536, 3, 1), note(0, 1536, 1536, 3, 2), note(0, 3072, 1536, 3, 3),
                    note(0, 4608, 1536, 3, 4), note(0, 6144, 1536, 3, 5), note(0, H, Q, 3, 7),
                    note(0, 3 * Q, Q, 3, 9)}),
         false,
         kFour,
         {"  e  s  e  s  e  q  q", "---------------------", "---------------------",
          "--1--2--3--4--5--7--9", "---------------------", "                     "},
         {{1, 1.4}, {1, 1.8}, {1, 2.2}, {1, 2.6}}},
        {"a note moved onto a sixteenth gives way to the note on it",
         withNotes(bars(1), {note(0, 0, S, 3, 1), note(0, S + S * 5 / 8, S / 2, 3, 2),
                             note(0, 2 * S, E, 3, 3), note(0, Q, H + Q, 3, 5)}),
         false,
         kFour,
         {"  s  s  e h.", "------------", "------------", "--1-----3--5", "------------",
          "     r      "},
         {{1, 1.40625}, {1, 1.40625}}},
        {"techniques",
         withNotes(bars(1), {note(0, 0, E, 3, 3), note(0, E, E, 3, 5, HammerOn),
                             note(0, 2 * E, E, 3, 3, PullOff), note(0, 3 * E, E, 3, 7, SlideUp),
                             note(0, 4 * E, E, 3, 5, HammerOn), note(0, 5 * E, E, 4, 5, Slap),
                             note(0, 6 * E, E, 2, 7, Pop), note(0, 7 * E, E, 1, 2, HammerOn)}),
         false,
         kFour,
         {"  e  e  e  e  e  e  e  e",
          "---------------------"
          "--2",
          "------------------"
          "--7---",
          "--3H-5P-3\\-7P-5---------",
          "---------------"
          "--5------",
          "               "
          "  +  .   "},
         {{1, 4.5}}},
        {"a slide from a chord's hammered note is typed plain: the editor slides from the "
         "chord note played last, and plays the hammered one first",
         withNotes(bars(1), {note(0, 0, E, 3, 3), note(0, E, E, 3, 5, HammerOn),
                             note(0, E, E, 2, 5), note(0, 2 * E, E, 3, 7, SlideUp)}),
         false,
         kFour,
         {"  e  e  e  h  e", "---------------", "-----5---------", "--3H-5--7------",
          "---------------", "           r  r"},
         {}},
        {"a chord, and a note on a string already sounding",
         withNotes(bars(1), {note(0, 0, H, 2, 5), note(0, 0, H, 3, 3), note(0, 0, H, 3, 7),
                             note(0, H, H, 4, 0)}),
         false,
         kFour,
         {"  h  h", "------", "--5---", "--3---", "-----0", "      "},
         {{1, 1}}},
        {"only a dead note: rests",
         withNotes(bars(1), {note(0, 0, Q, 3, 5, Plain, model::kDeadNote)}),
         false,
         kFour,
         {"  w", "---", "---", "---", "---", "  r"},
         {{1, 1}}},
        {"a guitar track keeps its tab",
         withNotes(bars(1), {note(0, 0, 4 * Q, 6, 3)}, {64, 59, 55, 50, 45, 40}),
         false,
         {"E ", "B ", "G ", "D ", "A ", "E "},
         {"  w", "---", "---", "---", "---", "---", "--3", "   "},
         {{0, 0}}},
        {"pitches below E1 set up five strings",
         withNotes(bars(1), {pitch(0, 0, Q, 25), pitch(0, Q, Q, 24)}, {}),
         false,
         {"G ", "D ", "A ", "E ", "B "},
         {"  q  q  h", "---------", "---------", "---------", "---------", "--2--1---",
          "        r"},
         {}},
        {"pitches from E1 up set up four strings",
         withNotes(bars(1), {pitch(0, 0, 4 * Q, 28)}, {}),
         false,
         kFour,
         {"  w", "---", "---", "---", "--0", "   "},
         {}},
        {"a triplet of one note",
         withNotes(bars(1), {note(0, 0, 1280, 3, 5), note(0, 1280, 1280, 3, 5),
                             note(0, 2560, 1280, 3, 5), note(0, Q, Q, 3, 7)}),
         false,
         kFour,
         {"  e  e  e  q  h", "---------------", "---------------", "--5~~5~~5--7---",
          "---------------", "              r"},
         {}},
        {"a triplet of three notes goes to sixteenths",
         withNotes(bars(1), {note(0, 0, 1280, 3, 5), note(0, 1280, 1280, 3, 6),
                             note(0, 2560, 1280, 3, 7), note(0, Q, Q, 3, 9)}),
         false,
         kFour,
         {"  s  e  s  q  h", "---------------", "---------------", "--5--6--7--9---",
          "---------------", "              r"},
         {{1, 1 + 1280.0 / Q}, {1, 1 + 2560.0 / Q}}},
        {"a note held longer than any value: the nearest, then a rest",
         withNotes(bars(2), {note(0, 0, 5 * Q, 3, 5)}),
         false,
         kFour,
         {"  w  w", "------", "------", "--5---", "------", "     r"},
         {{1, 1}}},
        {"notes a little short of their values, as MIDI plays them, are those values",
         withNotes(bars(1), {note(0, 0, Q - 200, 3, 5), note(0, Q, E - 100, 3, 7),
                             note(0, Q + E, E - 100, 3, 9), note(0, H, H - 300, 3, 7)}),
         false,
         kFour,
         {"  q  e  e  h", "------------", "------------", "--5--7--9--7", "------------",
          "            "},
         {}},
        {"a note held five sixteenths before the next",
         withNotes(bars(1),
                   {note(0, 0, 5 * S, 3, 5), note(0, 5 * S, 3 * S, 3, 7), note(0, H, H, 3, 9)}),
         false,
         kFour,
         {"  q  s e.  h", "------------", "------------", "--5-----7--9", "------------",
          "     r      "},
         {{1, 1}}},
    };
    return list;
}

TEST(SongToTab, WritesTheTabByTheRules)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        SongTabOptions options;
        options.repeatsOnce = c.repeatsOnce;
        const SongTab tab = songToTab(c.song, 0, options);
        EXPECT_EQ(tab.tab.lines, block(c.names, c.rows));
        EXPECT_EQ(tab.tab.strings.value(), static_cast<int>(c.names.size()));
        for (int s = 1; s <= tab.tab.strings.value(); ++s)
            EXPECT_EQ(tab.tab.tuning.at(s), c.names[static_cast<std::size_t>(s - 1)]);
        std::vector<std::pair<int, double>> places;
        std::string said;
        for (const SongProblem& p : tab.problems) {
            places.emplace_back(p.bar, p.beat);
            said += std::to_string(p.bar) + ":" + beatText(p.beat) + ": " + p.what + "\n";
        }
        ASSERT_EQ(places.size(), c.places.size()) << said;
        for (std::size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(places[i].first, c.places[i].first) << said;
            EXPECT_NEAR(places[i].second, c.places[i].second, 1e-9) << said;
        }
        // The tab reads back whole, with the notes counted.
        const std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
        const score::Score read =
            score::readScore(lines, tab.tab.strings, tab.tab.tuning, score::kDefaultTempo);
        EXPECT_TRUE(read.skipped.empty());
        int notes = 0;
        for (const score::Column& column : read.columns)
            notes += static_cast<int>(column.notes.size());
        EXPECT_EQ(notes, tab.tab.notes);
    }
}

// Songs no reader would make tidy: any onset, length, string, technique, mark, repeat and
// ending. The tab is always one the editor could have typed, read back whole with every note
// counted.
TEST(SongToTab, AnySongGivesATabThatReadsBackWhole)
{
    std::mt19937 random(20261208);
    const auto pick = [&random](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    for (int round = 0; round < 300; ++round) {
        Song song = bars(pick(1, 6), pick(1, 7), 1 << pick(1, 4));
        for (SongBar& bar : song.bars) {
            bar.repeatStart = pick(0, 3) == 0;
            bar.repeatEnd = pick(0, 4) == 0 ? pick(1, 3) : 0;
            bar.endings = pick(0, 3) == 0 ? static_cast<std::uint32_t>(pick(1, 3)) : 0;
        }
        std::vector<SongNote> notes;
        for (int n = pick(0, 40); n > 0; --n) {
            const int bar = pick(0, static_cast<int>(song.bars.size()) - 1);
            const std::int64_t unit = pick(0, 1) == 0 ? S : Q / 3;
            SongNote made =
                pick(0, 3) == 0
                    ? pitch(bar, pick(0, 16) * unit / pick(1, 5), pick(0, 8) * unit, pick(20, 70))
                    : note(bar, pick(0, 16) * unit / pick(1, 2), pick(0, 8) * unit, pick(1, 4),
                           pick(0, 24), static_cast<model::Technique>(pick(0, 6)));
            made.marks = pick(0, 5) == 0 ? 1u << pick(0, 11) : 0;
            made.voice = pick(0, 9) == 0 ? 1 : 0;
            made.tiedToNext = pick(0, 9) == 0;
            notes.push_back(made);
        }
        std::ranges::stable_sort(notes, {}, [](const SongNote& n) {
            return std::pair{n.bar, n.start};
        });
        song.tracks.push_back(track(notes, pick(0, 3) == 0 ? std::vector<int>{} : kBass));
        SongTabOptions options;
        options.repeatsOnce = pick(0, 1) == 0;
        options.tabWidth = pick(20, 90);
        SCOPED_TRACE(round);
        const SongTab tab = songToTab(song, 0, options);
        const std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
        const score::Score read =
            score::readScore(lines, tab.tab.strings, tab.tab.tuning, score::kDefaultTempo);
        EXPECT_TRUE(read.skipped.empty());
        int written = 0;
        for (const score::Column& column : read.columns)
            written += static_cast<int>(column.notes.size());
        EXPECT_EQ(written, tab.tab.notes);
        // The song is the tab's own: its lines read back as strictly as the editor reads what
        // it typed, and give the song's beats.
        ASSERT_EQ(tab.song.tracks.size(), 1u);
        const model::Track& fitted = tab.song.tracks[0];
        const tabtext::Reading strict = tabtext::readTab(
            tabtext::SpanLines(lines), {fitted.strings, fitted.tuning, tab.song.width},
            tabtext::Mode::Strict);
        EXPECT_EQ(strict.problem, "");
        std::vector<model::Beat> beats = fitted.beats;
        for (model::Beat& beat : beats)
            for (model::Note& n : beat.notes)
                n.flags = 0; // the text writes no marks yet
        EXPECT_EQ(strict.track.beats, beats);
    }
}

// Played out, the repeats leave no sign; written once, each bar's signs are a mark of the
// song where the bar starts, on the sixteenth its first note is moved to.
TEST(SongToTab, RepeatsWrittenOnceAreTheSongsBarMarks)
{
    Song voltas = repeated({{true, 0, 0}, {false, 2, 1u}, {false, 0, 2u}, {false, 0, 0}});
    voltas.bars[3].direction = "D.C. al Fine";
    Song pickup = repeated({{false, 0, 0}, {true, 0, 0}, {false, 3, 0}});
    pickup.bars[0].length = Q * 4 * 3 / 32; // three 32nds: bar 2 starts between sixteenths
    const std::pair<Song, std::vector<model::BarMark>> table[] = {
        {voltas,
         {{.tick = 0, .repeatStart = true},
          {.tick = 480, .repeatEnd = 2, .endings = 1u},
          {.tick = 960, .endings = 2u},
          {.tick = 1440, .direction = "D.C. al Fine"}}},
        {pickup, {{.tick = 240, .repeatStart = true}, {.tick = 720, .repeatEnd = 3}}},
    };
    for (const auto& [song, marks] : table) {
        SongTabOptions once;
        once.repeatsOnce = true;
        EXPECT_EQ(songToTab(song, 0, once).song.marks, marks);
        EXPECT_EQ(songToTab(song, 0, {}).song.marks, std::vector<model::BarMark>{});
    }
}

// The marks the tab does not write stay on the song's notes for what plays and prints it.
TEST(SongToTab, TheSongsNotesKeepTheirMarks)
{
    using model::Technique::Plain;
    SongNote rung = note(0, 0, Q, 3, 5, Plain, model::kLetRing);
    rung.tiedToNext = true;
    struct Marked {
        const char* what;
        std::vector<SongNote> notes;
        // Each note of the song's beats, in order: string and marks.
        std::vector<std::pair<int, model::NoteFlags>> expected;
    };
    const Marked table[] = {
        {"marks of one note",
         {note(0, 0, Q, 3, 5, Plain, model::kGhostNote | model::kVibrato)},
         {{3, model::kGhostNote | model::kVibrato}}},
        {"a tie joins the marks of both notes",
         {rung, note(0, Q, Q, 3, 5, Plain, model::kVibrato)},
         {{3, model::kLetRing | model::kVibrato}}},
        {"a dead note is a rest and a grace note is left out",
         {note(0, 0, Q, 3, 5, Plain, model::kDeadNote),
          note(0, Q, S, 3, 3, Plain, model::kGraceNote),
          note(0, Q, Q, 3, 5, Plain, model::kGraceBefore)},
         {{3, model::kGraceBefore}}},
        {"a chord's notes by string, each with its own",
         {note(0, 0, Q, 3, 5), note(0, 0, Q, 1, 2, Plain, model::kAccent)},
         {{1, model::kAccent}, {3, 0}}},
        {"each note of a triplet",
         {note(0, 0, 1280, 3, 5), note(0, 1280, 1280, 3, 5, Plain, model::kStaccato),
          note(0, 2560, 1280, 3, 5)},
         {{3, 0}, {3, model::kStaccato}, {3, 0}}},
    };
    for (const Marked& m : table) {
        SCOPED_TRACE(m.what);
        const SongTab tab = songToTab(withNotes(bars(1), m.notes), 0, {});
        ASSERT_EQ(tab.song.tracks.size(), 1u);
        std::vector<std::pair<int, model::NoteFlags>> found;
        for (const model::Beat& beat : tab.song.tracks[0].beats)
            for (const model::Note& n : beat.notes)
                found.emplace_back(n.string, n.flags);
        EXPECT_EQ(found, m.expected);
    }
}

TEST(SongToTab, CountsMarksByKindWithTheirPlaces)
{
    Song song = withNotes(
        bars(2), {note(0, 0, Q, 3, 5, model::Technique::Plain, model::kBend),
                  note(0, Q, Q, 3, 5, model::Technique::Plain, model::kGhostNote),
                  note(0, H, Q, 3, 5, model::Technique::Plain, model::kDeadNote),
                  note(1, Q, Q, 3, 7, model::Technique::Plain, model::kBend | model::kVibrato)});
    SongNote second = note(1, 0, Q, 1, 2);
    second.voice = 1;
    song.tracks[0].notes.push_back(second);
    const SongTab tab = songToTab(song, 0, {});
    EXPECT_EQ(tab.marks, (std::vector<std::string>{
                             "1 dead note written as a rest", "1 ghost note played plain",
                             "2 bends played plain", "1 note with vibrato played plain",
                             "1 note of a second voice left out"}));
    const auto bends = std::ranges::find_if(
        tab.problems, [](const SongProblem& p) { return p.what.starts_with("2 bends"); });
    ASSERT_NE(bends, tab.problems.end());
    EXPECT_EQ(bends->what, "2 bends played plain (bar 1 beat 1, bar 2 beat 2)");
    EXPECT_EQ(songSummary(tab), "3 notes imported; 1 dead note written as a rest; 1 ghost note "
                                "played plain; 2 bends played plain; 1 note with vibrato played "
                                "plain; 1 note of a second voice left out");
}

// A note the tab cannot place is named by what the file says of it: a fret the file gives,
// else the pitch (a fret worked out from it is none the user wrote).
TEST(SongToTab, NotesOffTheNeckAreNamedAsTheFileGivesThem)
{
    SongNote low = note(0, 0, Q, 4, -1);
    low.pitch = 26; // a D below the low E string
    SongNote high = note(0, 0, Q, 1, -1);
    high.pitch = 43 + 30;
    const std::pair<SongNote, std::string> cases[] = {
        {low, "D1 on string 4: below its open note, left out"},
        {high, "C#5 on string 1: past the neck's 24 frets, left out"},
        {note(0, 0, Q, 2, 30), "fret 30 on string 2: past the neck's 24 frets, left out"},
    };
    for (const auto& [n, what] : cases) {
        Song song = bars(1);
        song.tracks.push_back(track({n}));
        const SongTab tab = songToTab(song, 0, {});
        ASSERT_EQ(tab.problems.size(), 1u) << what;
        EXPECT_EQ(tab.problems[0].what, what);
    }
}

// A problem on every note: a thousand listed, the others counted.
TEST(SongToTab, ListsAThousandProblemsAndCountsTheRest)
{
    Song song = bars(1500);
    std::vector<SongNote> notes;
    for (int b = 0; b < 1500; ++b)
        notes.push_back(note(b, 0, Q, 2, 30));
    notes.push_back(note(0, Q, Q, 3, 5, model::Technique::Plain, model::kBend));
    song.tracks.push_back(track(notes));
    const SongTab tab = songToTab(song, 0, {});
    ASSERT_EQ(tab.problems.size(), 1001u);
    EXPECT_EQ(tab.problems.back().what, "more problems than these, not listed");
    EXPECT_EQ(songSummary(tab), "1 note imported; 1 bend played plain; 1500 other problems, "
                                "from bar 1");
}

TEST(SongToTab, TakesTheHeaderTempoAndTime)
{
    Song song = bars(2, 6, 8);
    song.bars[1].beats = 3;
    song.bars[1].beatType = 4;
    song.bars[1].direction = "D.C. al Fine";
    song.title = "Song";
    song.artist = "Artist";
    song.album = "Album";
    song.author = "Tabber";
    song.words = "Words";
    song.copyright = "(c) 2020";
    song.notices = {"Play it slow"};
    song.tempos = {{1, 0, 90}, {0, 0, 512.4}};
    song.tracks.push_back(track({note(0, 0, Q, 3, 5)}));
    const SongTab tab = songToTab(song, 0, {});
    EXPECT_EQ(tab.header.comments, (std::vector<std::string>{"Song", "Album: Album", "Words: Words",
                                                             "(c) 2020", "Play it slow"}));
    EXPECT_EQ(tab.header.artist, "Artist");
    EXPECT_EQ(tab.header.from, "Tabber");
    EXPECT_EQ(tab.tempo, 400);
    EXPECT_EQ(tab.tab.time, (model::TimeSignature{6, 8}));
    EXPECT_EQ(tab.song.tempo, 400);
    EXPECT_EQ(tab.song.time, (model::TimeSignature{6, 8}));
    std::vector<int> bars;
    for (const SongProblem& p : tab.problems)
        bars.push_back(p.bar);
    // The tempo out of reach, then at bar 2 the new tempo, time signature and direction.
    EXPECT_EQ(bars, (std::vector<int>{1, 2, 2, 2}));
    // A crafted file's direction of megabytes is quoted in part, whole characters.
    song.bars[1].direction = std::string(199, 'x') + "\u00e9" + std::string(20'000'000, 'y');
    const SongTab crafted = songToTab(song, 0, {});
    const auto quoted = std::ranges::find_if(
        crafted.problems, [](const auto& p) { return p.what.ends_with("not followed"); });
    ASSERT_NE(quoted, crafted.problems.end());
    EXPECT_EQ(quoted->what, "\"" + std::string(199, 'x') + "...\": not followed");
}

TEST(SongToTab, ListsTracksAndChoosesTheBass)
{
    Song song;
    SongTrack drums;
    drums.name = "Drums";
    drums.percussion = true;
    drums.notes = {pitch(0, 0, Q, 36)};
    SongTrack guitar = track({note(0, 0, Q, 1, 0)}, {64, 59, 55, 50, 45, 40});
    guitar.name = "Guitar";
    SongTrack seven = track({note(0, 0, Q, 1, 0)}, {64, 59, 55, 50, 45, 40, 35});
    seven.name = "Seven";
    SongTrack synth = track({pitch(0, 0, Q, 40)}, {});
    synth.name = "Synth";
    synth.midiProgram = 38;
    SongTrack empty = track({});
    // Named a bass, on a guitar's strings and with a string section's sound.
    SongTrack bassy = track({note(0, 0, Q, 1, 0)}, {64, 59, 55, 50, 45, 38});
    bassy.name = "Low Bassy Sound";
    bassy.midiProgram = 48;
    song.tracks = {drums, guitar, seven, synth, empty, bassy};
    song.bars = bars(1).bars;

    const std::vector<TrackSummary> list = listTracks(song);
    ASSERT_EQ(list.size(), 6u);
    const std::vector<std::tuple<bool, std::string, bool>> expected = {
        {false, "percussion", false},
        {true, "", false},
        {false, "7 strings: Quorlin writes 4 to 6", false},
        {true, "", true},
        {false, "no notes", true},
        {true, "", false}};
    for (std::size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(list[i].name);
        EXPECT_EQ(std::tie(list[i].choosable, list[i].whyNot, list[i].bass), expected[i]);
    }
    EXPECT_EQ(list[1].tuning, "E2 A2 D3 G3 B3 E4");
    EXPECT_EQ(list[1].strings, 6);
    // Unnamed instruments by their General MIDI program (39 counted from 1), drums as such.
    EXPECT_EQ(list[3].instrument, "Synth Bass 1");
    EXPECT_EQ(list[0].instrument, "Percussion");
    EXPECT_EQ(defaultTrack(song), 3);
    EXPECT_EQ(trackOrder(song), (std::vector<int>{3, 4, 0, 1, 2, 5}));

    song.tracks.erase(song.tracks.begin() + 3);
    EXPECT_EQ(defaultTrack(song), 1) << "no bass: the first that can be chosen";
    song.tracks = {drums};
    EXPECT_EQ(defaultTrack(song), -1);
}

} // namespace
} // namespace quorlin::files
