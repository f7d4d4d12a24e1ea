#pragma once

// The tab read as music. Everything that plays or exports the tab (playback, MIDI, WAV)
// takes this one reading, so that they cannot disagree. Time is counted in the tab's ticks.
// No Qt here.

#include "instrument/Tuning.h"
#include "model/Song.h"
#include "tabtext/Marks.h"
#include "tabtext/TabCodec.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorlin::score {

using model::kDefaultTempo;
using model::kMaxTempo;
using model::kMinTempo;
using model::kTicksPerBeat;

// Taken into kMinTempo..kMaxTempo.
int clampTempo(int bpm);

using model::isLegato;
using model::isSlide;
using model::isTie;
using model::Technique;

struct Note {
    int string = 1; // 1 is the top string line of a block
    int fret = 0;
    int pitch = 0; // MIDI key
    Technique technique = Technique::Plain;
    // The model note's marks (model::Mark), for the performance and the sheet to read.
    model::NoteFlags flags = 0;

    bool operator==(const Note&) const = default;
};

struct Column {
    int block = 0;  // 0-based staff block
    int line = 0;   // index of the block's rhythm line in the text
    int offset = 0; // first character of the column in each line of its block
    int width = static_cast<int>(tabtext::kCellWidth); // characters
    std::int64_t start = 0;                            // ticks from the start of the tab
    std::int64_t length = 0;                           // ticks
    char symbol = 'q';
    bool dotted = false;
    bool triplet = false;
    bool rest = false;
    std::vector<Note> notes; // several for a chord, none for a rest

    bool operator==(const Column&) const = default;
};

struct Block {
    int line = 0; // index of the rhythm line in the text
    std::size_t firstColumn = 0;
    std::size_t columnCount = 0;
    std::int64_t start = 0;
    std::int64_t length = 0;

    bool operator==(const Block&) const = default;
};

using tabtext::Skip;

struct Score {
    int tempo = kDefaultTempo;
    int strings = instrument::kMinStrings; // string lines in every block
    std::vector<Block> blocks;
    std::vector<Column> columns;
    std::vector<Skip> skipped;
    std::int64_t length = 0; // ticks from the start to the end of the last column

    double secondsAt(std::int64_t tick) const;
    // The column sounding at `tick`, or -1 between columns and past the end.
    int columnAt(std::int64_t tick) const;
    // The block holding text line `line` (any line of it), or -1.
    int blockOfLine(int line) const;
};

using instrument::openPitch;
// Every string's, string 1 (the highest) first, as a song's track keeps its tuning.
std::vector<int> openPitches(instrument::StringCount strings, const instrument::Tuning& tuning);

// The music of a track as the tab text lays it out, as time; `skipped` are the columns its
// reading could not understand.
Score timeline(const model::Track& track, const tabtext::Layout& layout,
               std::span<const Skip> skipped, int tempo);
Score timeline(const tabtext::Reading& reading, int tempo);

// Reads every staff block of the lines. Nothing the lines hold can make it fail: what it
// cannot understand is skipped and listed.
Score readScore(std::span<const std::string_view> lines, instrument::StringCount strings,
                const instrument::Tuning& tuning, int tempo);

// "2 columns could not be read, line 14" (the first such line, counted from 1); empty
// when every column was read.
std::string skippedText(const Score& score);

} // namespace quorlin::score
