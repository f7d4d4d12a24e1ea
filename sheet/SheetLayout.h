#pragma once

// The printed page: the score laid out as tab with rhythm, in whole bars per system and
// whole systems per page, as marks a painter draws as they are. Positions are in points
// (1/72 inch) from the page's top left corner, portrait. No Qt here.

#include "instrument/Tuning.h"
#include "score/Score.h"
#include "sheet/Marks.h"
#include "sheet/Rhythm.h"
#include "sheet/TextMeasure.h"

#include <memory>
#include <string>
#include <vector>

namespace quorlin::sheet {

enum class Paper : std::uint8_t { A4, Letter };

struct PageSize {
    float width = 0;
    float height = 0;

    bool operator==(const PageSize&) const = default;
};

PageSize pageSize(Paper paper);

// What the page shows besides the notes; empty texts are left out of the title block.
struct SheetInput {
    std::string title;
    std::string artist;
    std::string tabBy;
    std::string bassPerformer;
    int tempo = score::kDefaultTempo;
    // The names of the strings the score has, string 1 (the top line) first.
    instrument::Tuning tuning;
    TimeSignature time;
    Paper paper = Paper::A4;

    bool operator==(const SheetInput&) const = default;
};

// One system: its page, the rectangle of its staff lines, the bars it holds (counted from 0;
// a bar too wide for any system goes on over the next ones).
struct SystemPlace {
    int page = 0;
    Rect staff;
    std::size_t firstBar = 0;
    std::size_t barCount = 0;
    // Where the stems end: the bottom of the rhythm below the staff.
    float stemsBottom = 0;

    bool operator==(const SystemPlace&) const = default;
};

// Where a score column is printed: its system and the x of its stem and fret numbers. A
// column split over a bar line is placed by its first part; page -1 for none.
struct ColumnPlace {
    int page = -1;
    int system = -1;
    float x = 0;

    bool operator==(const ColumnPlace&) const = default;
};

struct Sheet {
    PageSize size;
    std::vector<Page> pages;
    std::vector<SystemPlace> systems;
    std::vector<ColumnPlace> columns; // by score column
    // The columns the score could not read, each once; the page leaves their time blank.
    std::vector<score::Skip> skipped;

    bool operator==(const Sheet&) const = default;
};

// Linear in the score's columns. Whatever the score holds, the result is pages of marks.
Sheet layoutSheet(const score::Score& score, const SheetInput& input, const TextMeasure& measure);
Sheet layoutSheet(const score::Score& score, const SheetInput& input);

// The first column whose print differs between two scores (their times, values and notes; not
// where they stand in the text), or the shorter one's column count when one goes on the other.
std::size_t firstChangedColumn(const score::Score& before, const score::Score& after);

struct KeptLayout;

// A layout kept between edits, so that an edit is laid out again from the system that holds
// its first changed column on, over the pages, systems and places before it as they were.
class SheetLayout {
public:
    explicit SheetLayout(const TextMeasure& measure);
    ~SheetLayout();
    SheetLayout(const SheetLayout&) = delete;
    SheetLayout& operator=(const SheetLayout&) = delete;

    // The whole score, as layoutSheet does it.
    Sheet layout(const score::Score& score, const SheetInput& input);
    // `sheet` is the last one this laid out, and the score's columns before `firstChanged`
    // print as that layout's did. The result is the one layout() would give; a change of the
    // input or of the string count, or a sheet this did not make, lays out all.
    void relayout(Sheet& sheet, const score::Score& score, const SheetInput& input,
                  std::size_t firstChanged);

private:
    const TextMeasure& m_measure;
    std::unique_ptr<KeptLayout> m_kept;
};

// "B E A D G": the names of the strings, the lowest first, as a tuning is said.
std::string tuningText(const instrument::Tuning& tuning, int strings);

} // namespace quorlin::sheet
