#pragma once

// The song as Quorlin holds it, whatever it was read from: tracks of beats, each beat a
// duration and the notes struck on it, and the marks that lie over the bars. The tab text,
// the imports and the views all speak this one vocabulary. No Qt here.

#include "instrument/Tuning.h"
#include "model/TimeSignature.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorlin::model {

// How a note is played beyond its pitch. A hammer-on, pull-off or slide plays from the note
// before it on its string (a slide's direction is the pitch's); slap and pop are how the
// string is struck, and every note of a slapped beat is slapped.
enum class Technique : std::uint8_t { Plain, HammerOn, PullOff, SlideUp, SlideDown, Slap, Pop };

// Hammer-ons and pull-offs sound without a new pluck.
constexpr bool isLegato(Technique t)
{
    return t == Technique::HammerOn || t == Technique::PullOff;
}
constexpr bool isSlide(Technique t)
{
    return t == Technique::SlideUp || t == Technique::SlideDown;
}
// The techniques tied to the note before on the same string.
constexpr bool isTie(Technique t)
{
    return isLegato(t) || isSlide(t);
}

// The slide from one pitch to another: down when the second is lower, else up.
constexpr Technique slideBetween(int from, int to)
{
    return to < from ? Technique::SlideDown : Technique::SlideUp;
}

// Marks of a note beyond its technique, one bit each.
using NoteFlags = std::uint32_t;

// The marks a note may carry, as a bassist names them. The readers of other programs' files
// set them; what the tab text cannot write yet is counted when a song becomes a tab.
enum Mark : NoteFlags {
    kDeadNote = 1u << 0, // muted: a click, no pitch
    kGhostNote = 1u << 1,
    kBend = 1u << 2,
    kHarmonic = 1u << 3,
    kVibrato = 1u << 4,
    kPalmMute = 1u << 5,
    kLetRing = 1u << 6,
    kGraceNote = 1u << 7, // the grace note itself
    kAccent = 1u << 8,
    kTrill = 1u << 9,
    kTremoloPicking = 1u << 10,
    kStaccato = 1u << 11,
    kTapped = 1u << 12,
    kTremoloBar = 1u << 13,
    kSlideInOrOut = 1u << 14, // from or to no note
    // A grace note leads into this note: the grace is left out, this note played.
    kGraceBefore = 1u << 15,
    // Any mark the file gives that none of these names.
    kOtherMark = 1u << 31,
};

struct Note {
    int string = 1; // 1 is the highest-sounding string, the first string line of a block
    int fret = 0;
    Technique technique = Technique::Plain;
    NoteFlags flags = 0;

    bool operator==(const Note&) const = default;
};

// The note values, shortest first, each twice as long as the one before.
enum class Value : std::uint8_t { Sixteenth, Eighth, Quarter, Half, Whole };

constexpr std::int64_t valueTicks(Value value)
{
    return std::int64_t{kTicksPerBeat} * 4 >> (4 - static_cast<int>(value));
}

struct Beat {
    // Empty for a rest. The note carrying the beat's technique comes first, then the others
    // by string.
    std::vector<Note> notes;
    Value value = Value::Quarter;
    bool dotted = false;
    // Three in the time of two. A triplet the user typed is three beats, parts 0, 1 and 2;
    // the part is -1 where the text holds a run of them no one typed.
    bool triplet = false;
    std::int8_t tripletPart = -1;
    // The user's "New line" came right before this beat.
    bool newLineBefore = false;
    // Text in the beat's place that could not be read: it keeps its time and sounds nothing.
    bool unread = false;

    bool rest() const { return notes.empty(); }
    bool chord() const { return notes.size() > 1; }
    Technique technique() const
    {
        return notes.empty() ? Technique::Plain : notes.front().technique;
    }
    // Slap and pop strike every note; any other technique is the first note's alone.
    void setTechnique(Technique technique)
    {
        const bool struck = technique == Technique::Slap || technique == Technique::Pop;
        for (Note& note : notes)
            note.technique = struck || &note == &notes.front() ? technique : Technique::Plain;
    }
    std::int64_t ticks() const
    {
        std::int64_t ticks = valueTicks(value);
        if (dotted)
            ticks = ticks * 3 / 2;
        return triplet ? ticks * 2 / 3 : ticks;
    }

    bool operator==(const Beat&) const = default;
};

struct Track {
    std::string name;
    instrument::StringCount strings;
    instrument::Tuning tuning;
    std::vector<Beat> beats;

    bool operator==(const Track&) const = default;
};

// What lies over the bars from a point on, as the song's own overlay: the beats never hold it.
struct BarMark {
    std::int64_t tick = 0; // where it starts, from the start of the song
    std::optional<TimeSignature> time;
    std::optional<int> tempo; // quarter notes a minute
    bool repeatStart = false;
    int repeatEnd = 0; // the times the repeat is played in all; 0 for no repeat sign
    // The endings this bar belongs to, bit n for ending n + 1.
    std::uint32_t endings = 0;
    std::string section;
    std::string direction; // "D.C. al Fine", "Coda"...

    bool operator==(const BarMark&) const = default;
};

// Quarter-note beats per minute, and the range a tab is played in.
inline constexpr int kDefaultTempo = 100;
inline constexpr int kMinTempo = 20;
inline constexpr int kMaxTempo = 400;
// Characters of a tab line.
inline constexpr int kDefaultWidth = 80;
// Far wider than any tab, yet small enough that filling a block to it stays cheap.
inline constexpr int kMaxWidth = 4096;

struct Song {
    int tempo = kDefaultTempo;
    TimeSignature time;
    int width = kDefaultWidth;
    std::vector<Track> tracks;
    std::vector<BarMark> marks; // by tick

    bool operator==(const Song&) const = default;
};

} // namespace quorlin::model
