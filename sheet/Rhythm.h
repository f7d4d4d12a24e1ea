#pragma once

// The score's time cut into bars of a time signature: each column becomes one or more pieces
// of printable note values, a note over a bar line split and tied. Beams and triplet
// brackets are grouped here too, so the page's geometry only places what this decides.

#include "model/TimeSignature.h"
#include "score/Score.h"

#include <cstdint>
#include <vector>

namespace quorlin::sheet {

// The tab's own, kept with its editing state.
using model::TimeSignature;

// Beats into 1..32 and a beat type that is a power of two from 1 to 32, else 4/4: any other
// bar could not be counted in whole ticks.
TimeSignature checkedSignature(TimeSignature time);
std::int64_t barTicks(TimeSignature time);
// Eighths and shorter are beamed within one of these: the beat, three of them in 6/8, 9/8
// and 12/8, and a quarter when the beat is a half or a whole.
std::int64_t beamTicks(TimeSignature time);

struct NoteValue {
    std::uint8_t level = 2; // 0 whole .. 6 sixty-fourth, as in Marks.h
    bool dotted = false;
    bool triplet = false;

    bool operator==(const NoteValue&) const = default;
};

std::int64_t ticksOf(NoteValue value);

// Values that add up to `ticks`, longest first, triplet values tried first for a triplet's
// piece. Ticks no value can express end in the shortest value.
std::vector<NoteValue> valuesOf(std::int64_t ticks, bool triplet);

struct Piece {
    enum class Kind : std::uint8_t { Note, Rest, Blank };
    Kind kind = Kind::Note;
    int column = -1; // the score's column; -1 for the rest that fills the last bar, or a blank
    std::int64_t start = 0;
    std::int64_t length = 0;
    NoteValue value;
    bool tiedFromBefore = false; // a later part of a split note: its fret in parentheses
    // Whether beamed to the piece before, and how many beams join them.
    std::uint8_t beamsToBefore = 0;
};

struct Bar {
    std::int64_t start = 0;
    std::size_t firstPiece = 0;
    std::size_t pieceCount = 0;
};

// A run of pieces under one "3", and whether a beam already holds them all.
struct Tuplet {
    std::size_t firstPiece = 0;
    std::size_t pieceCount = 0;
    bool beamed = false;
};

struct Rhythm {
    std::vector<Piece> pieces;
    std::vector<Bar> bars;
    std::vector<Tuplet> tuplets;
};

// Time no column holds (a column the reader skipped) is a blank piece; the last bar is filled
// with rests, and a bar of nothing but a rest takes the whole rest. Linear in the score's
// columns.
Rhythm measureScore(const score::Score& score, TimeSignature time);
// The same as measureScore, over `rhythm` measured for a score whose columns before
// `firstChanged` were these: its bars before the one it returns are kept, the rest measured
// again.
std::size_t remeasureScore(Rhythm& rhythm, const score::Score& score, TimeSignature time,
                           std::size_t firstChanged);

} // namespace quorlin::sheet
