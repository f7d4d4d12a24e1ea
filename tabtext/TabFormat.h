#pragma once

// The tab text's vocabulary: the heads that open a block's lines, the three-character cells,
// the duration letters and what they last, the marks of techniques and articulations. The
// engine writes with these and every reader of the text (the score, retuning, the import of
// our own tabs) reads with them, so that the two cannot drift apart. Columns are counted in
// characters, as tabtext/TextWidth.h counts them.

#include "instrument/NeckLabels.h"
#include "model/TimeSignature.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorlin::tabtext {

// Every line of a block starts with a two-character head: the rhythm mark, a string's name
// or the articulation mark.
inline constexpr std::string_view kRhythmPrefix = "| ";
inline constexpr std::size_t kHeadLength = kRhythmPrefix.size();
inline constexpr std::string_view kArticulationPrefix = "> ";
// The first block of a tab that starts with a rest.
inline constexpr std::string_view kRestArticulationPrefix = "  ";
static_assert(kArticulationPrefix.size() == kHeadLength &&
              kRestArticulationPrefix.size() == kHeadLength);

// A block is its rhythm line, a line per string (string 1 first) and the articulation line.
constexpr int blockLineCount(int strings)
{
    return strings + 2;
}

// Which characters belong to one of the sets below, in one load: the score reads every cell
// of a tab through these on each play and export.
class CharacterSet {
public:
    template <typename Characters> constexpr explicit CharacterSet(const Characters& characters)
    {
        for (const char c : characters)
            m_in[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool contains(char c) const { return m_in[static_cast<unsigned char>(c)]; }

private:
    std::array<bool, 256> m_in{};
};

// A column is this many characters on every line of its block; a triplet is three columns.
inline constexpr std::size_t kCellWidth = 3;
inline constexpr std::size_t kTripletColumns = 3;

// What a string line holds where no note sounds, and what "New line" fills it with.
inline constexpr char kFill = '-';
inline constexpr std::string_view kEmptyCell = "---";
static_assert(kEmptyCell.size() == kCellWidth &&
              kEmptyCell.find_first_not_of(kFill) == std::string_view::npos);

// The marks a note's cell opens with. A triplet's second and third notes carry kTripletMark,
// which is how its end is found again; their fret is padded with it too.
inline constexpr char kPlainMark = kFill;
inline constexpr char kTripletMark = '~';
inline constexpr char kHammerOnMark = 'H';
inline constexpr char kPullOffMark = 'P';
// Up and down in pitch: a slide to a lower fret than the note before is written "/".
inline constexpr char kSlideUpMark = '\\';
inline constexpr char kSlideDownMark = '/';
inline constexpr std::array<char, 6> kNoteMarks = {kPlainMark,   kTripletMark, kHammerOnMark,
                                                   kPullOffMark, kSlideUpMark, kSlideDownMark};

inline constexpr CharacterSet kNoteMarkSet{kNoteMarks};

constexpr bool isNoteMark(char c)
{
    return kNoteMarkSet.contains(c);
}

// The articulation line's cells: blank, or a mark in the cell's last character.
inline constexpr std::string_view kPlainArticulation = "   ";
inline constexpr std::string_view kSlapCell = "  +";
inline constexpr std::string_view kPopCell = "  .";
inline constexpr std::string_view kRestCell = "  r";
inline constexpr char kSlapMark = kSlapCell.back();
inline constexpr char kPopMark = kPopCell.back();
inline constexpr char kRestMark = kRestCell.back();

inline constexpr CharacterSet kArticulationMarkSet{std::array{' ', kSlapMark, kPopMark, kRestMark}};

constexpr bool isArticulationMark(char c)
{
    return kArticulationMarkSet.contains(c);
}

// The palette's durations, shortest first, each twice as long as the one before: sixteenth,
// eighth, quarter, half, whole. A rhythm cell is "  q", or " q." when dotted.
inline constexpr std::string_view kDurationSymbols = "seqhw";
inline constexpr char kDotMark = '.';

using model::kTicksPerBeat;

inline constexpr CharacterSet kDurationSymbolSet{kDurationSymbols};

constexpr bool isDurationSymbol(char symbol)
{
    return kDurationSymbolSet.contains(symbol);
}

// A letter off the palette is a broken precondition of every writer of a duration.
constexpr void requireDurationSymbol(char symbol)
{
    if (!isDurationSymbol(symbol))
        throw std::invalid_argument(std::string("Unknown duration '") + symbol + "'");
}

// By letter, 0 for any other character: the score looks up every column's.
inline constexpr std::array<std::int64_t, 256> kDurationTicks = [] {
    std::array<std::int64_t, 256> ticks{};
    // The whole note is the last of the palette, four beats long; each before it half that.
    std::int64_t length = std::int64_t{4} * kTicksPerBeat;
    for (std::size_t at = kDurationSymbols.size(); at-- > 0; length /= 2)
        ticks[static_cast<unsigned char>(kDurationSymbols[at])] = length;
    return ticks;
}();

// A duration letter's ticks, undotted and outside a triplet.
constexpr std::int64_t durationTicks(char symbol)
{
    requireDurationSymbol(symbol);
    return kDurationTicks[static_cast<unsigned char>(symbol)];
}

// A dot makes a value half as long again; a triplet plays three in the time of two.
constexpr std::int64_t dottedTicks(std::int64_t ticks)
{
    return ticks * 3 / 2;
}
constexpr std::int64_t tripletTicks(std::int64_t ticks)
{
    return ticks * 2 / 3;
}

constexpr std::int64_t writtenTicks(char symbol, bool dotted)
{
    const std::int64_t ticks = durationTicks(symbol);
    return dotted ? dottedTicks(ticks) : ticks;
}

// "  q", or " q." when dotted: the rhythm cell of one column.
inline std::string rhythmCell(char symbol, bool dotted)
{
    return dotted ? std::string{' ', symbol, kDotMark} : std::string{' ', ' ', symbol};
}

// Whether a rhythm cell starts at p. No cell starts with a dot: "  e." is fill and then
// " e.", a dotted rest after "New line".
constexpr bool rhythmCellAt(std::string_view rhythm, std::size_t p)
{
    if (p + kCellWidth > rhythm.size() || rhythm[p] != ' ')
        return false;
    if (isDurationSymbol(rhythm[p + 1]))
        return rhythm[p + 2] == kDotMark;
    return rhythm[p + 1] == ' ' && isDurationSymbol(rhythm[p + 2]) &&
           (p + kCellWidth == rhythm.size() || rhythm[p + kCellWidth] != kDotMark);
}

struct Duration {
    char symbol = 'q';
    bool dotted = false;

    bool operator==(const Duration&) const = default;
};

// The duration of the rhythm cell at p, where rhythmCellAt holds.
constexpr Duration durationAt(std::string_view rhythm, std::size_t p)
{
    const bool dotted = rhythm[p + 2] == kDotMark;
    return {dotted ? rhythm[p + 1] : rhythm[p + 2], dotted};
}

// The duration letter of the column a rhythm line ends with: its last character, or the one
// before a dot. A blank when the line ends in fill.
constexpr char lastDurationLetter(std::string_view rhythm)
{
    char letter = rhythm.empty() ? ' ' : rhythm.back();
    if (letter == kDotMark && rhythm.size() >= 2)
        letter = rhythm[rhythm.size() - 2];
    return letter;
}

// A note's cell on its string: the mark, then the fret in two characters, a single digit
// padded with the fill or, in a triplet, with the mark: "H-5", "\12", "~~5". Retuning writes
// one for every note of a tab, so no string is built for it here.
constexpr std::array<char, kCellWidth> noteCellCharacters(char mark, int fret)
{
    if (fret < 0 || fret > instrument::kFrets)
        throw std::out_of_range("No fret " + std::to_string(fret) + " on the neck");
    const char pad = mark == kTripletMark ? kTripletMark : kFill;
    return {mark, fret < 10 ? pad : static_cast<char>('0' + fret / 10),
            static_cast<char>('0' + fret % 10)};
}

inline std::string noteCell(char mark, int fret)
{
    const std::array<char, kCellWidth> cell = noteCellCharacters(mark, fret);
    return {cell.begin(), cell.end()};
}

// A string cell as read back: nothing sounds (kEmptyCell), a note as noteCell writes it, or
// something no writer of the tab makes.
struct StringCell {
    enum class Kind { Empty, Note, Bad };
    Kind kind = Kind::Empty;
    char mark = kPlainMark;
    int fret = 0;

    bool operator==(const StringCell&) const = default;
};

// `cell` is three characters.
constexpr StringCell readStringCell(std::string_view cell)
{
    using enum StringCell::Kind;
    const char mark = cell[0];
    if (mark == kFill && cell[1] == kFill && cell[2] == kFill)
        return {};
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!isNoteMark(mark) || !digit(cell[2]))
        return {Bad};
    if (cell[1] == (mark == kTripletMark ? kTripletMark : kFill))
        return {Note, mark, cell[2] - '0'};
    if (!digit(cell[1]))
        return {Bad};
    const int fret = (cell[1] - '0') * 10 + (cell[2] - '0');
    // Frets below 10 are written with one digit; "05" or "31" came from elsewhere.
    if (fret < 10 || fret > instrument::kFrets)
        return {Bad};
    return {Note, mark, fret};
}

} // namespace quorlin::tabtext
