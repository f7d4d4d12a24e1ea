#pragma once

// A piece of music as another program's file holds it, before it becomes a tab: its bars as
// written (with their repeat signs), and tracks of notes placed in those bars. Every reader of
// a foreign format (Guitar Pro, MusicXML, MIDI) fills one of these; one conversion makes the
// tab of a track, so that the formats cannot disagree on what a repeat or a tie means. No Qt.

#include "model/Song.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorlin::files {

// Time in a song: this many ticks to a quarter note, enough for triplets, quintuplets and
// 64th notes to fall on whole ticks.
inline constexpr std::int64_t kSongTicksPerQuarter = 3840;

struct SongNote {
    // From the start of its bar as written, and how long it sounds (ties already joined when
    // the reader can, else `tiedToNext` says the next note of this pitch and string goes on).
    std::int64_t start = 0;
    std::int64_t length = 0;
    int bar = 0;   // index into Song::bars
    int pitch = 0; // MIDI key as it sounds
    // 1 is the highest-sounding string; 0 when the file does not say (MIDI, some MusicXML).
    int string = 0;
    int fret = -1; // -1 when the file does not say
    model::Technique technique = model::Technique::Plain;
    model::NoteFlags marks = 0; // model::Mark bits
    bool tiedToNext = false;
    // A second voice of the same track, kept apart so a chord is only what sounds together.
    int voice = 0;
};

struct SongBar {
    std::int64_t length = 0; // ticks, from the time signature (a bar may be cut short)
    int beats = 4;
    int beatType = 4;
    bool repeatStart = false;
    int repeatEnd = 0; // the times the repeat is played in all; 0 for no repeat sign
    // The endings this bar belongs to, bit n for ending n + 1; 0 outside alternate endings.
    std::uint32_t endings = 0;
    // "D.C. al Fine", "Coda"...: said, not followed.
    std::string direction;
};

struct SongTempo {
    int bar = 0;
    std::int64_t start = 0; // in the bar
    double quartersPerMinute = 120;
};

struct SongTrack {
    std::string name;
    std::string instrument; // as the file names it, or the General MIDI program's name
    int midiProgram = -1;   // 0-based General MIDI program; -1 unknown
    bool percussion = false;
    // Open pitches, highest string first; empty when the track has no strings (MIDI).
    std::vector<int> tuning;
    int capo = 0;
    std::vector<SongNote> notes; // in time order: bar, then start
};

// Something the reader could not take as written, and what became of it.
struct SongProblem {
    int bar = 0;     // from 1; 0 for the whole file
    double beat = 0; // from 1 within the bar; 0 for the whole bar
    std::string what;
};

struct Song {
    std::string title;
    std::string subtitle;
    std::string artist;
    std::string album;
    std::string author; // of the tab or the score
    std::string words;
    std::string music;
    std::string copyright;
    std::vector<std::string> notices; // free text the file carries
    std::vector<SongTempo> tempos;    // the first at bar 0, start 0 when the file gives one
    std::vector<SongBar> bars;
    std::vector<SongTrack> tracks;
    std::vector<SongProblem> problems;
};

// What a reader gives: the song, or why the file cannot be read at all, in words for the
// user after the file's name ("is a Guitar Pro 2 file, which Quorlin does not read").
struct SongReading {
    Song song;
    std::string error;

    bool ok() const { return error.empty(); }
};

// The most a reader takes in, so that a crafted file cannot exhaust memory: a file or an
// unpacked container part larger than this is refused.
inline constexpr std::size_t kLargestSongFile = 64 * 1024 * 1024;
inline constexpr std::size_t kMostSongNotes = 2'000'000;
inline constexpr std::size_t kMostSongTracks = 512;
inline constexpr std::size_t kMostSongBars = 100'000;

} // namespace quorlin::files
