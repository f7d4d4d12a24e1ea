#pragma once

// What the Guitar Pro import tests share: running the alphaTab peer, and a song described in
// the words tests/peers/gp-notes.mjs prints, so that the two readings compare line by line.

#include "files/Song.h"
#include "tests/files/PeerRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quorlin::files::peer {

namespace fs = std::filesystem;

using testing::run;
using testing::slurp;

inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

inline std::string techniques(const SongNote& note)
{
    // By model::Technique: Plain, HammerOn, PullOff, SlideUp, SlideDown, Slap, Pop.
    static const char* const kTechniques[] = {"",      "hammer", "pull", "slide",
                                              "slide", "slap",   "pop"};
    static_assert(std::size(kTechniques) == static_cast<std::size_t>(model::Technique::Pop) + 1);
    std::vector<std::string> names;
    if (note.technique != model::Technique::Plain)
        names.push_back(kTechniques[static_cast<int>(note.technique)]);
    const std::pair<model::NoteFlags, const char*> marks[] = {
        {model::kDeadNote, "dead"},     {model::kGhostNote, "ghost"},
        {model::kBend, "bend"},         {model::kHarmonic, "harmonic"},
        {model::kVibrato, "vibrato"},   {model::kPalmMute, "palmmute"},
        {model::kLetRing, "letring"},   {model::kGraceNote, "grace"},
        {model::kGraceBefore, "grace"}, {model::kAccent, "accent"},
        {model::kTrill, "trill"},       {model::kTremoloPicking, "tremolo"},
        {model::kStaccato, "staccato"}, {model::kTapped, "tap"},
    };
    for (const auto& [mark, name] : marks)
        if (note.marks & mark)
            names.push_back(name);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names)
        joined += (joined.empty() ? "" : ",") + name;
    return joined.empty() ? "-" : joined;
}

// The song in the words tests/peers/gp-notes.mjs prints, sorted as it sorts them.
inline std::vector<std::string> describe(const Song& song)
{
    std::vector<std::string> lines;
    const auto tab = [](auto... parts) {
        std::ostringstream out;
        bool first = true;
        ((out << (first ? "" : "\t") << parts, first = false), ...);
        return out.str();
    };
    for (std::size_t i = 0; i < song.bars.size(); ++i) {
        const SongBar& bar = song.bars[i];
        lines.push_back(tab("bar", i + 1,
                            std::to_string(bar.beats) + "/" + std::to_string(bar.beatType),
                            bar.repeatStart ? 1 : 0, bar.repeatEnd, bar.endings));
    }
    for (const SongTempo& tempo : song.tempos)
        lines.push_back(tab("tempo", tempo.bar + 1, tempo.start, tempo.quartersPerMinute));
    for (std::size_t t = 0; t < song.tracks.size(); ++t) {
        const SongTrack& track = song.tracks[t];
        std::string tuning;
        for (const int pitch : track.tuning)
            tuning += (tuning.empty() ? "" : ",") + std::to_string(pitch);
        lines.push_back(
            tab("track", t + 1, track.name, track.tuning.size(), tuning, track.percussion ? 1 : 0));
        for (const SongNote& note : track.notes)
            lines.push_back(tab("note", t + 1, note.bar + 1, note.start, note.string,
                                track.percussion ? note.pitch : note.fret, note.length,
                                techniques(note)));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// alphaTab's reading in fields: its bars in order (counted from 0), tunings and notes.
struct PeerBar {
    std::int64_t length = 0;
    int beatType = 4;
    bool repeatStart = false;
    int timesPlayed = 0; // 0 where no repeat ends
    unsigned endings = 0;
};

struct PeerNote {
    int track = 0; // from 1
    int bar = 0;   // from 0, as written
    std::int64_t onset = 0;
    int string = 0;
    int fret = 0;
    std::string techniques;
};

struct PeerSong {
    std::vector<PeerBar> bars;
    std::map<int, std::vector<int>> tunings; // by track from 1, highest string first
    std::vector<PeerNote> notes;
};

inline PeerSong peerSong(const std::vector<std::string>& lines)
{
    PeerSong song;
    std::map<int, PeerBar> bars; // by number: the lines come sorted as text
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string kind, name, tuning;
        in >> kind;
        if (kind == "bar") {
            int number = 0, beats = 0, start = 0;
            char slash = 0;
            in >> number >> beats >> slash;
            PeerBar& bar = bars[number];
            in >> bar.beatType >> start >> bar.timesPlayed >> bar.endings;
            bar.repeatStart = start != 0;
            bar.length = kSongTicksPerQuarter * 4 * beats / bar.beatType;
        } else if (kind == "track") {
            int number = 0, strings = 0;
            std::getline(in >> number, name, '\t'); // the rest of the number's field
            std::getline(in, name, '\t');
            in >> strings >> tuning;
            for (std::istringstream t(tuning); strings > 0 && std::getline(t, name, ',');)
                song.tunings[number].push_back(std::stoi(name));
        } else if (kind == "note") {
            PeerNote& note = song.notes.emplace_back();
            std::int64_t length = 0;
            in >> note.track >> note.bar >> note.onset >> note.string >> note.fret >> length >>
                note.techniques;
            --note.bar;
        }
    }
    for (const auto& [number, bar] : bars)
        song.bars.push_back(bar);
    return song;
}

// One run of node for all the files (each quoted, after a space): alphaTab's reading of each.
inline std::map<std::string, std::vector<std::string>> alphaTabReadings(const std::string& script,
                                                                        const std::string& files)
{
    std::map<std::string, std::vector<std::string>> readings;
    std::string current;
    for (const std::string& line : linesOf(run("node '" + script + "'" + files))) {
        if (line.starts_with("file\t"))
            current = line.substr(5);
        else
            readings[current].push_back(line);
    }
    return readings;
}

} // namespace quorlin::files::peer
