#pragma once

// What a printed page is made of: marks placed in points (1/72 inch), x to the right and y
// down from the page's top left corner. The layout decides every position; a painter only
// draws. No Qt here.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::sheet {

struct Point {
    float x = 0;
    float y = 0;

    bool operator==(const Point&) const = default;
};

struct Rect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;

    float right() const { return x + width; }
    float bottom() const { return y + height; }
    // Touching edges are no overlap: marks may sit side by side.
    bool overlaps(const Rect& o) const
    {
        return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }

    bool operator==(const Rect&) const = default;
};

enum class MarkKind : std::uint8_t {
    StaffLine,     // one string's line, from -> to
    Text,          // box holds the text at `size` points; role says which font
    Slide,         // a straight line between two fret numbers; value 1 up, 2 down
    Slur,          // an arc over from -> to, bulging up: hammer-on or pull-off
    Tie,           // an arc under from -> to, bulging down: a note held over a split
    Stem,          // from -> to, downwards; value 1 for a half note's open stem
    Beam,          // from -> to; value 1 the main beam, 2 the sixteenths', 3 the 32nds'...
    Flag,          // at the stem's end, box to the right; value the note level (3 eighth)
    Dot,           // an augmentation dot
    Rest,          // a rest glyph filling its box; value the note level (0 whole..6)
    BarLine,       // from -> to; value 1 for the final bar line
    TupletBracket, // one half of a bracket, from -> to, with its hook at the outer end
    QuarterNote,   // the tempo mark's note: a head at the box's bottom left, its stem up
};

enum class FontRole : std::uint8_t {
    None,
    Title,
    Artist,
    Credit, // "Tab by", the bass performer, the tuning
    Tempo,
    Clef,       // the letters T, A, B
    StringName, // a string's name at the start of the first system
    Fret,
    Technique, // H, P, S and Po above the staff
    BarNumber,
    Tuplet, // the 3 of a triplet
    PageNumber,
    TimeSignature, // a number of the time signature, the beats over the beat's value
};

// Note levels: 0 whole, 1 half, 2 quarter, 3 eighth, 4 sixteenth, 5 32nd, 6 64th.
inline constexpr int kWholeLevel = 0;
inline constexpr int kHalfLevel = 1;
inline constexpr int kEighthLevel = 3;
inline constexpr int kShortestLevel = 6;

struct Mark {
    MarkKind kind = MarkKind::Text;
    FontRole role = FontRole::None;
    std::uint8_t value = 0;
    // The paper is cleared under the box first: a fret number hides its string line.
    bool knockout = false;
    float size = 0; // font size in points, for text
    Rect box;
    Point from;
    Point to;
    // The text, in the page's pool: thousands of fret numbers share one buffer.
    std::uint32_t textStart = 0;
    std::uint32_t textLength = 0;

    bool operator==(const Mark&) const = default;
};

struct Page {
    std::vector<Mark> marks;
    std::string texts;

    std::string_view textOf(const Mark& mark) const
    {
        return std::string_view(texts).substr(mark.textStart, mark.textLength);
    }

    bool operator==(const Page&) const = default;
};

} // namespace quorlin::sheet
