#pragma once

// The tab text read into a track and written back from one. The text is the tab's own file
// format and the window's text area, so reading and writing are exact: a text read and
// written again gives the same bytes, whatever it holds. Blocks as the writers make them
// become beats; a block whose beats would not give its lines back (a hand edit, the names of
// another tuning) keeps its lines too, and lines that are no block stay as they stand.

#include "instrument/Tuning.h"
#include "model/Song.h"
#include "tabtext/Marks.h"
#include "tabtext/TabFormat.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::tabtext {

// The tab's lines, however they are kept (the window's text area, a vector).
class LineSource {
public:
    virtual ~LineSource() = default;
    virtual int count() const = 0;
    // A line that does not exist reads empty.
    virtual std::string line(int index) const = 0;
    // The same line, copied into `buffer` only where it is not kept as bytes already.
    virtual std::string_view view(int index, std::string& buffer) const
    {
        buffer = line(index);
        return buffer;
    }
};

// Lines in a span, for readers handed the whole text.
class SpanLines final : public LineSource {
public:
    explicit SpanLines(std::span<const std::string_view> lines) : m_lines(lines) {}
    int count() const override { return static_cast<int>(m_lines.size()); }
    std::string line(int index) const override { return std::string(view(index)); }
    std::string_view view(int index, std::string&) const override { return view(index); }

private:
    std::string_view view(int index) const
    {
        return index >= 0 && index < count() ? m_lines[static_cast<std::size_t>(index)]
                                             : std::string_view();
    }

    std::span<const std::string_view> m_lines;
};

struct Setup {
    instrument::StringCount strings;
    instrument::Tuning tuning;
    int width = model::kDefaultWidth;
};

// The mark each string's cell of a beat opens with, string s at s - 1.
using CellMarks = std::array<char, instrument::kMaxStrings>;

// A block of the text and the beats in it.
struct Block {
    int line = 0; // its rhythm line
    std::size_t firstBeat = 0;
    std::size_t beatCount = 0;
    // Characters of fill before each of its beats, and after the last.
    std::vector<int> fillBefore;
    int fillAfter = 0;
    // The articulation line opens with the blank head of a tab that starts with a rest.
    bool restHead = false;
    // Per beat, the marks of its cells, where its notes do not say them all: a triplet's on a
    // run no writer made, a tie's under a slap or pop. Empty when the notes say every mark.
    std::vector<CellMarks> marks;
    // Its lines as the text holds them, where writing its beats would not give them back.
    std::vector<std::string> verbatim;

    bool operator==(const Block&) const = default;
};

// Lines that are no block, before block `beforeBlock` (the count of blocks: after the last).
struct FreeLine {
    std::size_t beforeBlock = 0;
    std::string text;

    bool operator==(const FreeLine&) const = default;
};

// Where a beat stands in the text.
struct Place {
    std::size_t block = 0;
    int indexInBlock = 0;
    int character = 0; // of its cells, on every line of the block

    bool operator==(const Place&) const = default;
};

// A column the tolerant reader could not understand, so the window can say where.
struct Skip {
    int line = 0;   // the block's rhythm line
    int offset = 0; // first character of the column

    bool operator==(const Skip&) const = default;
};

// The mark the cell of `note`, of beat `indexInBlock` of `block`, opens with: the block's own
// where it keeps them, else the note's tie, or the triplet's on the lead note of a typed
// triplet's second and third beats.
inline char cellMarkOf(const Block& block, std::size_t indexInBlock, const model::Beat& beat,
                       const model::Note& note)
{
    if (indexInBlock < block.marks.size())
        return block.marks[indexInBlock][static_cast<std::size_t>(note.string - 1)];
    return cellMark(note.technique, beat.tripletPart > 0 && &note == &beat.notes.front());
}

struct Layout {
    std::vector<Block> blocks;
    std::vector<FreeLine> free;
    std::vector<Place> places; // one per beat

    bool operator==(const Layout&) const = default;
};

enum class Mode {
    // Whole blocks of the set-up's strings and names, as the engine writes them: the first
    // thing that is not ends the reading with the problem said.
    Strict,
    // Whatever the lines hold: a line opening with the rhythm head and enough lines after it
    // is a block, each string line sounding the note its own name gives; what cannot be read
    // is skipped and listed, and keeps the text as it stands.
    Tolerant,
};

struct Reading {
    model::Track track;
    Layout layout;
    std::vector<Skip> skipped; // tolerant
    // Why the text is no whole set of blocks ("Line 14: a cell no writer makes"), strict.
    std::string problem;

    bool operator==(const Reading&) const = default;
};

Reading readTab(const LineSource& lines, const Setup& setup, Mode mode);
// Strict, the blocks from the one holding line `from` on, each place naming its block as
// counted in the whole text. Whether "New line" came before a beat is then known within the
// blocks read; dropSilentNewLines settles it over the whole tab.
Reading readTabFrom(const LineSource& lines, const Setup& setup, int from);

// Brings a tolerant reading of the lines up to date after they changed from line
// `changedFrom` on (the lines before it are as they were read): only the blocks from the
// change on are read again.
void rereadTolerant(const LineSource& lines, const Setup& setup, int changedFrom, Reading& reading);

// Where a rhythm line's cells end: the fill of "New line" or of an overflow comes after.
std::size_t cellsEnd(std::string_view rhythm);

// How many characters a beat (or a column) and the rest of its triplet take.
template <typename Item> long long cellsWidth(const Item& item)
{
    return static_cast<long long>(item.tripletPart == 0 ? kCellWidth * kTripletColumns
                                                        : kCellWidth);
}

// Keeps "New line" only where writing the beats shows it. Blocks that "<-" and "Repeat last"
// leave, which no writer makes, may end in fill that reads as a "New line" the writers would
// pass over (a block already past the width), and the beats would not read back the same once
// written. Follows the writers' block lengths, not the text's.
template <typename Item> void dropSilentNewLines(std::span<Item> items, int width)
{
    long long length = -1; // no block yet
    for (Item& item : items) {
        if (item.tripletPart > 0)
            continue;
        const long long itemWidth = cellsWidth(item);
        if (item.newLineBefore) {
            const bool fills = length >= 0 && length <= width;
            item.newLineBefore = fills && (item.rest() || length + itemWidth <= width);
            if (fills)
                length = width + 1LL;
        }
        if (length < 0)
            length = static_cast<long long>(kHeadLength);
        // Only a note opens a block for itself; a rest goes on past the width.
        if (!item.rest() && length + itemWidth > width)
            length = static_cast<long long>(kHeadLength);
        length += itemWidth;
    }
}

// The lines of the track laid out as the text stood.
std::vector<std::string> writeTab(const model::Track& track, const Layout& layout,
                                  const Setup& setup);
// The cells of one beat, as its block's lines hold them: the rhythm line's, each string's,
// the articulation line's; each note's mark its own.
std::vector<std::string> beatCells(const model::Beat& beat, int strings);
// One block's lines, from its beats.
std::vector<std::string> writeBlock(const model::Track& track, const Block& block,
                                    const Setup& setup);
// The same from its beats alone, into `lines`, whose room is kept from one block to the next.
void writeBlockInto(const model::Track& track, const Block& block, const Setup& setup,
                    std::vector<std::string>& lines);

// Where the beats stand typed from the start at the set-up's width, then "New line" when
// asked. `afterBlocks`: typed after blocks kept full instead, the first beat opening a block
// of its own, which only the tab's first block can be left empty by.
Layout layOut(const model::Track& track, const Setup& setup, bool newLineAfter = false,
              bool afterBlocks = false);

// The lines a saved file explains the marks with, two to a line.
std::vector<std::string> legend();

// The duration letter of a value and back ("q" is a quarter).
char symbolOf(model::Value value);
model::Value valueOf(char symbol);

} // namespace quorlin::tabtext
