// The whole import seen from outside: a Guitar Pro or MusicXML file read by the real readers,
// made a tab, and the tab read back as music, against alphaTab's reading of the same file
// (tests/peers/gp-notes.mjs) with its repeats played out here from alphaTab's own bar data.
// Every note alphaTab lists must sound at its string, fret and time in the tab, and every
// note that does not, either way, must be named by the import's listed problems.

#include "files/SongReaders.h"
#include "files/SongToTab.h"
#include "score/Score.h"

#include "tests/files/GuitarProPeer.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <tuple>

#include <unistd.h>

namespace quorlin::files {
namespace {

namespace fs = std::filesystem;
using Ticks = std::int64_t;

using testing::run;
using testing::slurp;

using peer::PeerBar;
using peer::PeerNote;
using peer::PeerSong;

// The bars in the order a player plays them, from the repeat signs' rules: back to the last
// start (or the song's start, or the bar after the last finished repeat) until a repeat has
// been played its times; an ending bar only on the passes its numbers name.
std::vector<int> playOrder(const std::vector<PeerBar>& bars)
{
    std::vector<int> order;
    int start = 0;
    int pass = 1;
    bool jumped = false;
    bool finished = false;
    for (int i = 0; i < static_cast<int>(bars.size());) {
        const PeerBar& bar = bars[static_cast<std::size_t>(i)];
        if (finished && bar.endings == 0) {
            finished = false;
            pass = 1;
        }
        if (bar.repeatStart && !jumped) {
            start = i;
            pass = 1;
        }
        jumped = false;
        if (bar.endings != 0 && (bar.endings >> (pass - 1) & 1u) == 0) {
            ++i;
            continue;
        }
        order.push_back(i);
        if (bar.timesPlayed > 0 && pass < bar.timesPlayed) {
            ++pass;
            i = start;
            jumped = true;
            continue;
        }
        if (bar.timesPlayed > 0) {
            start = i + 1;
            finished = true;
        }
        ++i;
    }
    return order;
}

// A note of the tab or of the peer, where it sounds in the song as played.
using Sounding = std::tuple<Ticks, int, int>; // song ticks, string, fret

std::multiset<Sounding> tabNotes(const SongTab& tab)
{
    std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
    const score::Score score =
        score::readScore(lines, tab.tab.strings, tab.tab.tuning, score::kDefaultTempo);
    EXPECT_TRUE(score.skipped.empty()) << score::skippedText(score);
    constexpr Ticks kSongTicksPerTabTick = kSongTicksPerQuarter / score::kTicksPerBeat;
    std::multiset<Sounding> notes;
    for (const score::Column& column : score.columns)
        for (const score::Note& note : column.notes)
            notes.insert({column.start * kSongTicksPerTabTick, note.string, note.fret});
    return notes;
}

// Whether the problems name a place: a problem at the bar and beat (or the whole bar), or a
// count of marks whose list of places holds it. A problem of the whole file names no note.
bool listed(const std::vector<SongProblem>& problems, int bar, double beat, bool exactBeat)
{
    const std::string place = "bar " + std::to_string(bar) + " beat " + beatText(beat);
    for (const SongProblem& p : problems) {
        if (p.bar == bar && (!exactBeat || p.beat == 0 || std::abs(p.beat - beat) < 1e-6))
            return true;
        if (p.what.find(place + ",") != std::string::npos ||
            p.what.find(place + ")") != std::string::npos)
            return true;
    }
    return false;
}

struct Row {
    std::string file; // a write_gp.py fixture, or a file under data/
    int track;        // from 1; 0 for the track the import chooses itself
    std::string trackName;
    int strings;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.file << " track " << row.track;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name =
        fs::path(info.param.file).stem().string() + "_" + std::to_string(info.param.track);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class ImportPeer : public ::testing::TestWithParam<Row> {
protected:
    static void SetUpTestSuite()
    {
        s_dir = fs::temp_directory_path() / ("quorlin-import-peer-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        s_written = std::system(("python3 '" + std::string(QUORLIN_WRITE_GP) + "' '" +
                                 s_dir.string() + "' >/dev/null")
                                    .c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path pathOf(const std::string& name)
    {
        const fs::path data = fs::path(QUORLIN_FILES_DATA) / name;
        return fs::exists(data) ? data : s_dir / name;
    }

    static inline fs::path s_dir;
    static inline bool s_written = false;
};

TEST_P(ImportPeer, TheTabPlaysWhatAlphaTabReadsOrSaysWhy)
{
    const Row& row = GetParam();
    ASSERT_TRUE(s_written);
    const fs::path file = pathOf(row.file);
    const SongReading reading = readSong(slurp(file), file.filename().string());
    ASSERT_TRUE(reading.ok()) << reading.error;
    const int track = row.track > 0 ? row.track - 1 : defaultTrack(reading.song);
    ASSERT_GE(track, 0);
    EXPECT_EQ(reading.song.tracks[static_cast<std::size_t>(track)].name, row.trackName);
    const SongTab tab = songToTab(reading.song, track, {});
    EXPECT_EQ(tab.tab.strings.value(), row.strings);

    // alphaTab's bars and the notes of the track.
    PeerSong peer = peer::peerSong(
        peer::linesOf(run("node '" + std::string(QUORLIN_GP_NOTES) + "' '" + file.string() + "'")));
    std::erase_if(peer.notes, [&](const PeerNote& n) { return n.track != track + 1; });
    ASSERT_FALSE(peer.bars.empty()) << "alphaTab read nothing: scripts/install-deps installs it";
    const std::vector<int> order = playOrder(peer.bars);
    std::vector<Ticks> starts; // of each bar as played, and the end
    starts.push_back(0);
    for (const int bar : order)
        starts.push_back(starts.back() + peer.bars[static_cast<std::size_t>(bar)].length);

    const auto beatOf = [&](int bar, Ticks inBar) {
        const Ticks beat =
            kSongTicksPerQuarter * 4 / peer.bars[static_cast<std::size_t>(bar)].beatType;
        return 1.0 + static_cast<double>(inBar) / static_cast<double>(beat);
    };
    std::multiset<Sounding> left = tabNotes(tab);
    int matched = 0;
    std::vector<std::string> differences;
    for (std::size_t k = 0; k < order.size(); ++k) {
        for (const PeerNote& note : peer.notes) {
            if (note.bar != order[k])
                continue;
            const auto found = left.find({starts[k] + note.onset, note.string, note.fret});
            if (found != left.end()) {
                left.erase(found);
                ++matched;
                continue;
            }
            const double beat = beatOf(note.bar, note.onset);
            std::ostringstream what;
            what << "missing: bar " << note.bar + 1 << " beat " << beatText(beat) << " string "
                 << note.string << " fret " << note.fret << " (" << note.techniques << ")";
            differences.push_back(what.str());
            // The grace is left out, never the note it leads into; a dead note is a rest,
            // counted with the others past the places their problem lists.
            const bool dead = note.techniques.find("dead") != std::string::npos;
            if (!dead && note.techniques.find("grace") != std::string::npos)
                ADD_FAILURE() << "the note after a grace note lost: " << what.str();
            const bool counted =
                dead && std::ranges::any_of(tab.problems, [](const auto& p) {
                    return p.what.find("dead notes written as rests") != std::string::npos;
                });
            if (!counted && !listed(tab.problems, note.bar + 1, beat, true))
                ADD_FAILURE() << "not listed: " << what.str();
        }
    }
    for (const auto& [at, string, fret] : left) {
        const auto k = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) -
                                                starts.begin() - 1);
        const int bar = k < order.size() ? order[k] : order.back();
        std::ostringstream what;
        what << "extra: bar " << bar + 1 << " beat " << beatText(beatOf(bar, at - starts[k]))
             << " string " << string << " fret " << fret;
        differences.push_back(what.str());
        if (!listed(tab.problems, bar + 1, 0, false))
            ADD_FAILURE() << "not listed: " << what.str();
    }
    EXPECT_EQ(matched > 0, !peer.notes.empty());
    // What differs is a finding to read, not to hide: it is printed with the problems.
    std::cout << row.file << " track " << track + 1 << ": " << matched
              << " notes as alphaTab reads them";
    for (const std::string& d : differences)
        std::cout << "\n  " << d;
    for (const SongProblem& p : tab.problems)
        std::cout << "\n  listed " << p.bar << ":" << beatText(p.beat) << ": " << p.what;
    std::cout << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImportPeer,
    ::testing::Values(
        Row{"basics.gp510.gp5", 0, "Bass", 4}, Row{"techniques.gp510.gp5", 0, "Bass", 4},
        Row{"tuplets.gp510.gp5", 0, "Bass", 4}, Row{"ties.gp510.gp5", 0, "Bass", 4},
        Row{"repeats.gp510.gp5", 0, "Bass", 4}, Row{"rests.gp510.gp5", 1, "Bass", 4},
        Row{"tempos.gp500.gp5", 0, "Bass", 4}, Row{"rarities.gp510.gp5", 0, "Bass", 4},
        Row{"voices.gp510.gp5", 0, "Bass", 4}, Row{"endings.gp4.gp4", 0, "Bass", 4},
        Row{"graces.gp510.gp5", 0, "Bass", 4}, Row{"graces.gp3.gp3", 0, "Bass", 4},
        // Several tracks: the four-string bass is chosen; the five- and six-string basses
        // and the guitar when asked for.
        Row{"tracks.gp510.gp5", 0, "Bass 4", 4}, Row{"tracks.gp510.gp5", 4, "Bass 5", 5},
        Row{"tracks.gp510.gp5", 5, "Bass 6", 6}, Row{"tracks.gp510.gp5", 1, "Lead", 6},
        Row{"musicxml/groove.musicxml", 0, "Bass", 5},
        Row{"musicxml/offbeat.musicxml", 0, "Bass", 4},
        Row{"musicxml/repeats-musescore.musicxml", 0, "Bass", 4}),
    rowName);

// Files Guitar Pro 5 wrote itself: the bass the import chooses, a six-string bass, guitars.
INSTANTIATE_TEST_SUITE_P(RealGp5, ImportPeer,
                         ::testing::Values(Row{"real/guitarpro5-canon.gp5", 0, "Track 8", 4},
                                           Row{"real/guitarpro5-canon.gp5", 2, "Low Bassy Sound",
                                               6},
                                           Row{"real/guitarpro5-canon.gp5", 1, "Guitar Player", 6},
                                           Row{"real/guitarpro5-effects.gp5", 1, "Track 1", 6},
                                           Row{"real/guitarpro5-hammer.gp5", 1, "Track 1", 6}),
                         rowName);

// And Guitar Pro 6: a grace note's main note must reach the tab, not only the song.
INSTANTIATE_TEST_SUITE_P(RealGp6, ImportPeer,
                         ::testing::Values(Row{"real/guitarpro6-effects.gpx", 1, "Track 1", 6},
                                           Row{"real/guitarpro6-notes.gpx", 1, "Track 1", 6}),
                         rowName);

// Written once, a file's repeat signs, counts and endings are the song's bar marks at the
// bars alphaTab reads them on: in a file MuseScore 3 saved, and in one written by hand.
TEST(ImportRepeatsOnce, TheSignsAreMarksWhereAlphaTabPutsTheBars)
{
    constexpr Ticks kSongTicksPerTabTick = kSongTicksPerQuarter / model::kTicksPerBeat;
    for (const char* name : {"musicxml/repeats-musescore.musicxml", "musicxml/groove.musicxml"}) {
        SCOPED_TRACE(name);
        const fs::path file = fs::path(QUORLIN_FILES_DATA) / name;
        const SongReading reading = readSong(slurp(file), file.filename().string());
        ASSERT_TRUE(reading.ok()) << reading.error;
        const PeerSong peer = peer::peerSong(peer::linesOf(
            run("node '" + std::string(QUORLIN_GP_NOTES) + "' '" + file.string() + "'")));
        ASSERT_FALSE(peer.bars.empty())
            << "alphaTab read nothing: scripts/install-deps installs it";
        std::vector<model::BarMark> expected;
        Ticks at = 0;
        for (const PeerBar& bar : peer.bars) {
            if (bar.repeatStart || bar.timesPlayed > 0 || bar.endings != 0)
                expected.push_back({.tick = at / kSongTicksPerTabTick,
                                    .repeatStart = bar.repeatStart,
                                    .repeatEnd = bar.timesPlayed,
                                    .endings = bar.endings});
            at += bar.length;
        }
        ASSERT_FALSE(expected.empty());
        SongTabOptions once;
        once.repeatsOnce = true;
        const SongTab tab = songToTab(reading.song, defaultTrack(reading.song), once);
        EXPECT_EQ(tab.song.marks, expected);
    }
}

} // namespace
} // namespace quorlin::files
