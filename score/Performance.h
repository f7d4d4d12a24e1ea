#pragma once

// The score as the events a synthesiser or a MIDI file takes: one list, made once, so that
// playback, the MIDI file and the WAV file sound alike. Channels count from 0 here (MIDI's
// channel 1 is 0).

#include "score/Score.h"

#include <cstdint>
#include <vector>

namespace quorlin::score {

inline constexpr int kFingerChannel = 0; // plain, hammer-on, pull-off and slide notes
inline constexpr int kSlapChannel = 1;
inline constexpr int kPopChannel = 2;
inline constexpr int kClickChannel = 9; // General MIDI percussion
// General MIDI programs as sent on the wire, counted from 0 (General MIDI's list counts from 1):
// Electric Bass (finger) 34, Slap Bass 1 37 and Slap Bass 2 38 there.
inline constexpr int kFingerProgram = 33;
inline constexpr int kSlapProgram = 36;
inline constexpr int kPopProgram = 37;
// Set on the finger channel at the start: a slide glides at most this far.
inline constexpr int kBendRange = 12; // semitones
// A Hi Wood Block on every beat.
inline constexpr int kClickKey = 76;

enum class EventKind : std::uint8_t { NoteOn, NoteOff, Program, Controller, PitchBend };

struct Event {
    std::int64_t tick = 0;
    EventKind kind = EventKind::NoteOn;
    std::uint8_t channel = 0;
    // Key for notes, number for controllers and programs.
    std::uint8_t number = 0;
    // Velocity for notes (64 for every NoteOff), value for controllers.
    std::uint8_t value = 0;
    // Pitch bend from -8192 to 8191, 0 in the middle.
    std::int16_t bend = 0;
    // The score column a note belongs to; -1 for every other event.
    std::int32_t column = -1;

    bool operator==(const Event&) const = default;
};

struct PerformOptions {
    // Only these columns [first, end) are performed, from the first one's start; all by
    // default.
    std::size_t firstColumn = 0;
    std::size_t endColumn = static_cast<std::size_t>(-1);
    // A click on every beat.
    bool metronome = false;
    // The programs, the pitch-bend range and a centred bend at the performance's start.
    bool setup = true;
};

struct Performance {
    int tempo = kDefaultTempo;
    // By tick; at one tick NoteOffs, then programs, controllers and bends, then NoteOns.
    std::vector<Event> events;
    std::int64_t startTick = 0; // the first performed column's start
    std::int64_t endTick = 0;   // the end of the last performed column
};

// Columns are taken in the order of their starts, as the reader lists them.
Performance perform(const Score& score, const PerformOptions& options = {});

} // namespace quorlin::score
