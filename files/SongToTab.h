#pragma once

// One track of a song read from another program's file, made a Quorlin song of one track:
// its set-up, its notes on the tab's values as the editor would have typed them, and the tab
// text the codec writes of them; the header and tempo, and a list of what could not come
// across as written. Every foreign reader's song goes through here, so the formats cannot
// disagree. No Qt here.

#include "files/Song.h"
#include "files/SongHeader.h"
#include "files/WebTabImport.h"

#include <string>
#include <vector>

namespace quorlin::files {

// A track as the track list shows it.
struct TrackSummary {
    std::string name;
    std::string instrument;
    int strings = 0; // 0 when the file gives the track no strings (MIDI)
    // The open strings' notes, lowest first ("E1 A1 D2 G2"); empty without strings.
    std::string tuning;
    int notes = 0;
    bool choosable = true;
    std::string whyNot; // "percussion", "no notes", "7 strings: Quorlin writes 4 to 6"
    bool bass = false;
};

std::vector<TrackSummary> listTracks(const Song& song);
// The first bass track that can be chosen, else the first that can; -1 when none can.
int defaultTrack(const Song& song);
// The tracks as the list offers them: bass tracks first, each group in the file's order.
std::vector<int> trackOrder(const Song& song);

struct SongTabOptions {
    // Repeat signs and endings kept written once, instead of played out: the song then holds
    // them as bar marks (the tab text writes none yet).
    bool repeatsOnce = false;
    int tabWidth = model::kDefaultWidth;
};

struct SongTab {
    // The song as the tab holds it: tempo, time signature, width, and one track of the tab's
    // strings, tuning and beats. Its notes keep the marks the tab does not write yet.
    model::Song song;
    // The lines the codec writes of the song's track, set-up, notes written and time
    // signature; its own problems stay empty (they are placed by line and column, these by
    // bar and beat).
    ImportedTab tab;
    SongHeader header;
    int tempo = model::kDefaultTempo;
    // Bars as the file numbers them, from 1; beats from 1 in the bar.
    std::vector<SongProblem> problems;
    // "12 dead notes written as rests", one per kind of mark, for the summary.
    std::vector<std::string> marks;
    // Problems past the most that `problems` lists.
    int unlisted = 0;
};

// `track` indexes song.tracks; one that cannot be chosen still gives what it can (its set-up,
// rests). Never throws on a song a reader made.
SongTab songToTab(const Song& song, int track, const SongTabOptions& options);

// One line for the status bar: "96 notes imported; 12 dead notes written as rests; 3 other
// problems, bars 4 to 9".
std::string songSummary(const SongTab& tab);

// "2", "2.5": a beat as the problems give it.
std::string beatText(double beat);

} // namespace quorlin::files
