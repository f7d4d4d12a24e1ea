#include "sheet/SheetLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace quorlin::sheet {

namespace {

// All in points.
constexpr float kMargin = 42; // about 15 mm
constexpr float kLineGap = 10;
constexpr float kFretSize = 8;
constexpr float kSmallSize = 7; // techniques, bar numbers, the 3 of a triplet
constexpr float kClefSize = 9;
constexpr float kNameSize = 8;
constexpr float kPageNumberSize = 9;
constexpr float kSmallestTitleSize = 6;
constexpr float kLineWidth = 0.5f;
constexpr float kBarLineWidth = 0.8f;
constexpr float kStemWidth = 0.8f;
// Lanes of a system from its top: bar number, technique letters, then the staff.
constexpr float kTechniqueTop = 8;
constexpr float kStaffTop = 22;
// Below the staff: stems from here down, beams at their ends, then the triplets' lane.
constexpr float kStemGap = 6;
constexpr float kStemLength = 18;
constexpr float kBeamThickness = 2.5f;
constexpr float kBeamStep = 4;
constexpr float kBeamletLength = 5;
constexpr float kFlagWidth = 5;
constexpr float kDotSize = 2;
constexpr float kTupletLane = 9;
constexpr float kSystemGap = 16;
// Horizontal room: around a fret number, after and before a bar line, the clef's.
constexpr float kTextGap = 1.5f;
constexpr float kBarLead = 6;
constexpr float kBarTrail = 3;
// The final bar line, thin and thick, is this wide: its bar leaves the room for it.
constexpr float kFinalBarWidth = 4.5f;
constexpr float kReachBack = 16;
constexpr float kClefGap = 6;
// A sixteenth's room; each longer value gets 0.7 of it more per doubling.
constexpr float kSpacingUnit = 10;
// The last system is not stretched unless it is nearly full already.
constexpr float kStretchLastFrom = 0.75f;

float weightOf(std::int64_t ticks)
{
    const double sixteenths = static_cast<double>(ticks) / (score::kTicksPerBeat / 4.0);
    return std::max(0.3f, static_cast<float>(1.0 + 0.7 * std::log2(std::max(sixteenths, 0.01))));
}

std::string trimmed(std::string_view name)
{
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(name.substr(first, name.find_last_not_of(' ') - first + 1));
}

std::string fretText(int fret, bool tied)
{
    const std::string digits = std::to_string(fret);
    return tied ? "(" + digits + ")" : digits;
}

// The rest glyph's size by level, whole first.
constexpr std::array<Point, kShortestLevel + 1> kRestSizes = {
    {{6, 3}, {6, 3}, {5, 12}, {5, 9}, {6, 12}, {7, 15}, {8, 18}}};

// The string lines the sheet draws.
int stringsOf(const score::Score& score)
{
    return std::clamp(score.strings, instrument::kMinStrings, instrument::kMaxStrings);
}

} // namespace

// The last note printed on a string, for the arc or line a tie or technique draws to it.
struct LastNote {
    int system = -1;
    float right = 0; // the right edge of its fret number
};

// What a layout knew when it began a system that opens a bar: enough to go on from there.
struct Checkpoint {
    std::size_t bar = 0;
    std::size_t system = 0;
    std::size_t page = 0;
    std::size_t marks = 0; // the page's marks and text before the system
    std::size_t texts = 0;
    float y = 0;
    std::size_t tuplet = 0;
    std::array<LastNote, instrument::kMaxStrings + 1> last{};
};

struct KeptLayout {
    SheetInput input;
    int strings = 0;
    // What the sheet it made had, to tell it from another.
    std::size_t systems = 0;
    std::size_t pages = 0;
    Rhythm rhythm;
    // By piece: its width, the room before its stem, its share of a stretch, its stem's x.
    std::vector<float> width;
    std::vector<float> lead;
    std::vector<float> weight;
    std::vector<float> x;
    std::vector<Checkpoint> checkpoints;
};

namespace {

class Layouter {
public:
    Layouter(const score::Score& score, const SheetInput& input, const TextMeasure& measure,
             Sheet& sheet, KeptLayout& kept) :
        m_score(score),
        m_input(input), m_measure(measure),
        m_strings(stringsOf(score)),
        m_sheet(sheet), m_kept(kept), m_rhythm(kept.rhythm), m_width(kept.width), m_lead(kept.lead),
        m_weight(kept.weight), m_x(kept.x)
    {
        m_right = pageSize(input.paper).width - kMargin;
        m_bottom = pageSize(input.paper).height - kMargin;
        m_staffHeight = static_cast<float>(m_strings - 1) * kLineGap;
        m_systemHeight = kStaffTop + m_staffHeight + kStemGap + kStemLength + kTupletLane;
        for (int s = 1; s <= m_strings; ++s)
            m_names.push_back(trimmed(input.tuning.at(s)));
    }

    void run()
    {
        m_sheet = {};
        m_sheet.size = pageSize(m_input.paper);
        m_kept.input = m_input;
        m_kept.strings = m_strings;
        m_kept.checkpoints.clear();
        m_sheet.columns.resize(m_score.columns.size());
        skipped();
        newPage();
        titleBlock();
        m_rhythm = measureScore(m_score, m_input.time);
        measurePieces(0);
        systems(0);
        pageNumbers(1);
    }

    // Over the sheet the kept layout made, from the system where the columns from
    // `firstChanged` on can first change what it shows.
    void resume(std::size_t firstChanged)
    {
        const std::size_t oldBars = m_rhythm.bars.size();
        std::size_t bar = remeasureScore(m_rhythm, m_score, m_input.time, firstChanged);
        const std::size_t newBars = m_rhythm.bars.size();
        // The bars before the first measured again keep their pieces, and all but the last bar
        // keep their room: a final bar line or a last system's stretch moves with the end. The
        // system before may take the changed bar in, once it is narrower.
        if (oldBars == 0 || newBars == 0)
            bar = 0;
        else
            bar = std::min({bar, oldBars - 1, newBars - 1});
        bar -= bar > 0 ? 1 : 0;
        const auto after =
            std::upper_bound(m_kept.checkpoints.begin(), m_kept.checkpoints.end(), bar,
                             [](std::size_t b, const Checkpoint& c) { return b < c.bar; });
        if (after == m_kept.checkpoints.begin() || newBars == 0) {
            run();
            return;
        }
        const Checkpoint at = *(after - 1);
        m_kept.checkpoints.erase(after - 1, m_kept.checkpoints.end());

        // Back to the sheet as it was when that system began; the pages before keep their
        // numbers until the count changes.
        const std::size_t pages = m_sheet.pages.size();
        m_sheet.systems.resize(at.system);
        m_sheet.pages.resize(at.page + 1);
        m_sheet.pages[at.page].marks.resize(at.marks);
        m_sheet.pages[at.page].texts.resize(at.texts);
        m_page = at.page;
        m_y = at.y;
        m_last = at.last;
        m_tuplet = at.tuplet;
        // Columns are placed in their order: those placed before the system keep their place.
        std::size_t kept = std::min({firstChanged, m_sheet.columns.size(), m_score.columns.size()});
        while (kept > 0 && (m_sheet.columns[kept - 1].page < 0 ||
                            m_sheet.columns[kept - 1].system >= static_cast<int>(at.system)))
            --kept;
        m_sheet.columns.resize(kept);
        m_sheet.columns.resize(m_score.columns.size());
        skipped();

        measurePieces(m_rhythm.bars[at.bar].firstPiece);
        systems(at.bar);
        if (m_sheet.pages.size() == pages) {
            pageNumbers(at.page);
            return;
        }
        // Each page's number is its last mark.
        for (std::size_t p = 1; p < at.page; ++p) {
            Page& page = m_sheet.pages[p];
            page.texts.resize(page.marks.back().textStart);
            page.marks.pop_back();
        }
        pageNumbers(1);
    }

private:
    struct Slice {
        std::size_t bar = 0;
        std::size_t first = 0;
        std::size_t count = 0;
        bool opensBar = true;
        bool closesBar = true;
        float width = 0;
    };

    void skipped()
    {
        m_sheet.skipped = m_score.skipped;
        m_sheet.skipped.erase(std::unique(m_sheet.skipped.begin(), m_sheet.skipped.end()),
                              m_sheet.skipped.end());
    }

    Page& page() { return m_sheet.pages[m_page]; }

    Mark& add(MarkKind kind, Rect box)
    {
        Mark& mark = page().marks.emplace_back();
        mark.kind = kind;
        mark.box = box;
        return mark;
    }

    Mark& line(MarkKind kind, Point from, Point to, float width)
    {
        const Rect box{std::min(from.x, to.x) - (from.x == to.x ? width / 2 : 0),
                       std::min(from.y, to.y) - (from.y == to.y ? width / 2 : 0),
                       std::abs(to.x - from.x) + (from.x == to.x ? width : 0),
                       std::abs(to.y - from.y) + (from.y == to.y ? width : 0)};
        Mark& mark = add(kind, box);
        mark.from = from;
        mark.to = to;
        return mark;
    }

    float widthOf(std::string_view text, FontRole role, float size) const
    {
        return m_measure.width(text, role, size);
    }

    // Text with its box's left edge at x (or its centre, or its right edge) and its middle
    // at y.
    enum class Align { Left, Centre, Right };
    Mark& text(std::string_view text, FontRole role, float size, float x, float y, Align align)
    {
        const float width = widthOf(text, role, size);
        const float left = align == Align::Left     ? x
                           : align == Align::Centre ? x - width / 2
                                                    : x - width;
        Mark& mark = add(MarkKind::Text, {left, y - size / 2, width, size});
        mark.role = role;
        mark.size = size;
        mark.textStart = static_cast<std::uint32_t>(page().texts.size());
        mark.textLength = static_cast<std::uint32_t>(text.size());
        page().texts.append(text);
        return mark;
    }

    void newPage()
    {
        m_sheet.pages.emplace_back();
        // Pages of one tab are much alike: a page sized as the one before is filled without
        // growing, which a long tab would otherwise pay for in copies and fresh memory.
        if (m_sheet.pages.size() > 1) {
            const Page& before = m_sheet.pages[m_sheet.pages.size() - 2];
            m_sheet.pages.back().marks.reserve(before.marks.size() + before.marks.size() / 16);
            m_sheet.pages.back().texts.reserve(before.texts.size() + before.texts.size() / 16);
        }
        m_page = m_sheet.pages.size() - 1;
        m_y = kMargin;
    }

    // A line of the title block, made smaller when it would not fit across the page, and cut
    // short when even the smallest size is too wide.
    void titleLine(std::string line, FontRole role, float size, Align align)
    {
        if (line.empty())
            return;
        const float room = m_right - kMargin;
        const float width = widthOf(line, role, size);
        if (width > room)
            size = std::max(kSmallestTitleSize, size * room / width);
        if (widthOf(line, role, size) > room) {
            constexpr std::string_view kEllipsis = "\u2026";
            std::size_t keep = static_cast<std::size_t>(static_cast<float>(line.size()) * room /
                                                        widthOf(line, role, size));
            const auto cut = [&] {
                // Never inside a character of several bytes.
                while (keep > 0 && (static_cast<unsigned char>(line[keep]) & 0xC0) == 0x80)
                    --keep;
                return line.substr(0, keep) + std::string(kEllipsis);
            };
            std::string shorter = cut();
            while (keep > 0 && widthOf(shorter, role, size) > room) {
                --keep;
                shorter = cut();
            }
            line = std::move(shorter);
        }
        const float x = align == Align::Centre ? m_sheet.size.width / 2 : kMargin;
        text(line, role, size, x, m_y + size * 0.65f, align);
        m_y += size * 1.3f;
    }

    // The note is drawn, not set in type: the fonts' own note glyphs differ in width and
    // some readers of the SVG pages lack them.
    void tempoMark()
    {
        constexpr float size = 10;
        const Rect note{kMargin, m_y, size * 0.55f, size * 1.05f};
        add(MarkKind::QuarterNote, note);
        text("= " + std::to_string(score::clampTempo(m_input.tempo)), FontRole::Tempo, size,
             note.right() + size * 0.3f, m_y + size * 0.65f, Align::Left);
        m_y += size * 1.3f;
    }

    void titleBlock()
    {
        titleLine(m_input.title, FontRole::Title, 20, Align::Centre);
        titleLine(m_input.artist, FontRole::Artist, 12, Align::Centre);
        m_y += 4;
        if (!m_input.tabBy.empty())
            titleLine("Tab by " + m_input.tabBy, FontRole::Credit, 9, Align::Left);
        if (!m_input.bassPerformer.empty())
            titleLine("Bass: " + m_input.bassPerformer, FontRole::Credit, 9, Align::Left);
        titleLine("Tuning: " + tuningText(m_input.tuning, m_strings), FontRole::Credit, 9,
                  Align::Left);
        tempoMark();
        m_y += 8;
    }

    // The pieces before `kept` are those the kept layout measured.
    void measurePieces(std::size_t kept)
    {
        const std::size_t n = m_rhythm.pieces.size();
        m_width.resize(n);
        m_lead.resize(n);
        m_weight.resize(n);
        m_x.resize(n);
        for (std::size_t i = kept; i < n; ++i) {
            const Piece& p = m_rhythm.pieces[i];
            float half = 0;
            float right = 3;
            if (p.kind == Piece::Kind::Note) {
                for (const score::Note& note :
                     m_score.columns[static_cast<std::size_t>(p.column)].notes)
                    half = std::max(half, widthOf(fretText(note.fret, p.tiedFromBefore),
                                                  FontRole::Fret, kFretSize) /
                                              2);
                right = p.value.dotted                  ? 6 + kDotSize + kTextGap
                        : p.value.level >= kEighthLevel ? kFlagWidth + kTextGap
                                                        : right;
            } else if (p.kind == Piece::Kind::Rest) {
                const Point size = kRestSizes[std::min<std::size_t>(p.value.level, kShortestLevel)];
                half = size.x / 2;
                right = half + (p.value.dotted ? 1.5f + kDotSize : 0) + kTextGap;
            }
            m_lead[i] = half + kTextGap;
            m_weight[i] = weightOf(p.length);
            m_width[i] = std::max(
                {m_lead[i] + right, m_lead[i] + half + kTextGap, kSpacingUnit * m_weight[i]});
        }
    }

    // Where the clef and the first bar start on a system.
    float staffStart(bool first) const
    {
        if (!first)
            return kMargin;
        float names = 0;
        for (const std::string& name : m_names)
            names = std::max(names, widthOf(name, FontRole::StringName, kNameSize));
        return kMargin + (names > 0 ? names + 3 : 0);
    }

    // The first system shows the time signature after the clef.
    float contentStart(float staff, bool first) const
    {
        const float clef = staff + 2 + widthOf("T", FontRole::Clef, kClefSize) + kClefGap;
        return first ? clef + timeWidth() + kClefGap : clef;
    }

    float timeSize() const { return m_staffHeight / 2 - 0.5f; }

    float timeWidth() const
    {
        return std::max(widthOf(std::to_string(checkedSignature(m_input.time).beats),
                                FontRole::TimeSignature, timeSize()),
                        widthOf(std::to_string(checkedSignature(m_input.time).beatType),
                                FontRole::TimeSignature, timeSize()));
    }

    void timeSignature(float x, float staffTop)
    {
        const float centre = x + timeWidth() / 2;
        const float quarter = m_staffHeight / 4;
        text(std::to_string(checkedSignature(m_input.time).beats), FontRole::TimeSignature,
             timeSize(), centre, staffTop + quarter, Align::Centre)
            .knockout = true;
        text(std::to_string(checkedSignature(m_input.time).beatType), FontRole::TimeSignature,
             timeSize(), centre, staffTop + 3 * quarter, Align::Centre)
            .knockout = true;
    }

    void systems(std::size_t firstBar)
    {
        if (m_rhythm.bars.empty())
            return;
        std::vector<Slice> system;
        float used = 0;
        const auto room = [this] {
            const bool first = m_sheet.systems.empty();
            return m_right - contentStart(staffStart(first), first);
        };
        for (std::size_t b = firstBar; b < m_rhythm.bars.size(); ++b) {
            const Bar& bar = m_rhythm.bars[b];
            float width = kBarLead + trailOf(b);
            for (std::size_t i = 0; i < bar.pieceCount; ++i)
                width += m_width[bar.firstPiece + i];
            if (used + width <= room()) {
                system.push_back({b, bar.firstPiece, bar.pieceCount, true, true, width});
                used += width;
                continue;
            }
            if (!system.empty()) {
                place(system, false);
                system.clear();
                used = 0;
            }
            if (width <= room()) {
                system.push_back({b, bar.firstPiece, bar.pieceCount, true, true, width});
                used = width;
                continue;
            }
            // Only a bar wider than any system is cut, between two of its pieces.
            Slice slice{b, bar.firstPiece, 0, true, false, kBarLead};
            for (std::size_t i = bar.firstPiece; i < bar.firstPiece + bar.pieceCount; ++i) {
                if (slice.count > 0 && slice.width + m_width[i] + trailOf(b) > room()) {
                    place({slice}, false);
                    slice = {b, i, 0, false, false, 0};
                }
                slice.width += m_width[i];
                ++slice.count;
            }
            slice.closesBar = true;
            slice.width += trailOf(b);
            system.push_back(slice);
            used = slice.width;
        }
        place(system, true);
    }

    float trailOf(std::size_t bar) const
    {
        return bar + 1 == m_rhythm.bars.size() ? kBarTrail + kFinalBarWidth : kBarTrail;
    }

    void place(const std::vector<Slice>& slices, bool last)
    {
        if (slices.front().opensBar)
            m_kept.checkpoints.push_back({slices.front().bar, m_sheet.systems.size(), m_page,
                                          page().marks.size(), page().texts.size(), m_y, m_tuplet,
                                          m_last});
        const int index = static_cast<int>(m_sheet.systems.size());
        const bool first = index == 0;
        if (m_y + m_systemHeight > m_bottom && !page().marks.empty())
            newPage();
        const float top = m_y;
        const float staffTop = top + kStaffTop;
        const float staffBottom = staffTop + m_staffHeight;
        const float staff = staffStart(first);
        const float content = contentStart(staff, first);
        const int pageIndex = static_cast<int>(m_sheet.pages.size()) - 1;
        m_systemFirst = slices.front().first;
        m_systemEnd = slices.back().first + slices.back().count;

        float natural = 0;
        float weights = 0;
        for (const Slice& slice : slices) {
            natural += slice.width;
            for (std::size_t i = slice.first; i < slice.first + slice.count; ++i)
                weights += m_weight[i];
        }
        // The first bar's lead is already in `content`: the bars start that much before it.
        const float start = content - kBarLead;
        const float room = m_right - start;
        float stretch = 0;
        if (natural < room && weights > 0 && (!last || natural >= kStretchLastFrom * room))
            stretch = (room - natural) / weights;
        const float end = stretch > 0 ? m_right : std::min(m_right, start + natural);

        for (int s = 0; s < m_strings; ++s) {
            const float y = staffTop + static_cast<float>(s) * kLineGap;
            line(MarkKind::StaffLine, {staff, y}, {end, y}, kLineWidth);
            if (first && !m_names[static_cast<std::size_t>(s)].empty())
                text(m_names[static_cast<std::size_t>(s)], FontRole::StringName, kNameSize, kMargin,
                     y, Align::Left);
        }
        clef(staff, staffTop);
        if (first)
            timeSignature(contentStart(staff, false), staffTop);
        line(MarkKind::BarLine, {staff, staffTop}, {staff, staffBottom}, kBarLineWidth);
        if (slices.front().opensBar && slices.front().bar > 0)
            text(std::to_string(slices.front().bar + 1), FontRole::BarNumber, kSmallSize, staff,
                 top + kSmallSize / 2, Align::Left);

        float x = start;
        for (const Slice& slice : slices) {
            const float barStart = x;
            if (slice.opensBar)
                x += kBarLead;
            for (std::size_t i = slice.first; i < slice.first + slice.count; ++i) {
                m_x[i] = x + m_lead[i];
                x += m_width[i] + stretch * m_weight[i];
            }
            if (slice.closesBar) {
                x += trailOf(slice.bar);
                // A bar's rest stands in its middle.
                if (slice.opensBar && slice.count == 1 &&
                    m_rhythm.pieces[slice.first].kind == Piece::Kind::Rest)
                    m_x[slice.first] = (barStart + x) / 2;
                Mark& bar = line(MarkKind::BarLine, {x, staffTop}, {x, staffBottom}, kBarLineWidth);
                if (slice.bar + 1 == m_rhythm.bars.size()) {
                    // Thin and thick, ending where the staff ends.
                    bar.value = 1;
                    bar.box.x = x - kFinalBarWidth;
                    bar.box.width = kFinalBarWidth;
                }
            }
        }

        const std::size_t from = slices.front().first;
        const std::size_t to = slices.back().first + slices.back().count;
        for (std::size_t i = from; i < to; ++i)
            piece(i, index, pageIndex, staffTop, content);
        tuplets(from, to, staffBottom + kStemGap + kStemLength);

        m_sheet.systems.push_back({pageIndex,
                                   {staff, staffTop, end - staff, m_staffHeight},
                                   slices.front().bar,
                                   slices.size(),
                                   staffBottom + kStemGap + kStemLength});
        m_y = top + m_systemHeight + kSystemGap;
    }

    void clef(float staff, float staffTop)
    {
        // Apart by a little more than their size, so that rounding never makes them touch.
        const float size = std::min(kClefSize, (m_staffHeight - 1) / 3);
        const float x = staff + 2 + widthOf("T", FontRole::Clef, kClefSize) / 2;
        const float middle = staffTop + m_staffHeight / 2;
        for (int k = 0; k < 3; ++k)
            text(std::string_view("TAB").substr(static_cast<std::size_t>(k), 1), FontRole::Clef,
                 size, x, middle + static_cast<float>(k - 1) * (size + 0.5f), Align::Centre)
                .knockout = true;
    }

    float stringY(float staffTop, int string) const
    {
        return staffTop + static_cast<float>(string - 1) * kLineGap;
    }

    void piece(std::size_t i, int system, int pageIndex, float staffTop, float content)
    {
        const Piece& p = m_rhythm.pieces[i];
        const float x = m_x[i];
        if (p.column >= 0 && m_sheet.columns[static_cast<std::size_t>(p.column)].page < 0)
            m_sheet.columns[static_cast<std::size_t>(p.column)] = {pageIndex, system, x};
        const float staffBottom = staffTop + m_staffHeight;
        const float laneTop = staffBottom + kStemGap;
        const float stemEnd = laneTop + kStemLength;
        if (p.kind == Piece::Kind::Rest) {
            const Point size = kRestSizes[std::min<std::size_t>(p.value.level, kShortestLevel)];
            const float middle = laneTop + kStemLength / 2;
            // The whole rest hangs from the middle, the half rest sits on it.
            const float y = p.value.level == kWholeLevel  ? middle - size.y
                            : p.value.level == kHalfLevel ? middle
                                                          : middle - size.y / 2;
            add(MarkKind::Rest, {x - size.x / 2, y, size.x, size.y}).value = p.value.level;
            if (p.value.dotted)
                add(MarkKind::Dot,
                    {x + size.x / 2 + 1.5f, middle - kDotSize / 2, kDotSize, kDotSize});
            return;
        }
        if (p.kind != Piece::Kind::Note)
            return;

        const score::Column& column = m_score.columns[static_cast<std::size_t>(p.column)];
        std::string letters;
        for (const score::Note& note : column.notes) {
            if (note.string < 1 || note.string > m_strings)
                continue;
            const float y = stringY(staffTop, note.string);
            Mark& fret = text(fretText(note.fret, p.tiedFromBefore), FontRole::Fret, kFretSize, x,
                              y, Align::Centre);
            fret.knockout = true;
            const float left = fret.box.x;
            const float right = fret.box.right();
            LastNote& last = m_last[static_cast<std::size_t>(note.string)];
            // Back to the note before on the string, from the system's start when that note
            // is on an earlier system; the string's first note reaches back to nothing.
            // A mark from a note on an earlier system starts a little before this one, not at
            // the clef, and never over it: it only says where it comes from.
            const float from = last.system == system
                                   ? last.right
                                   : std::max(content - kClefGap + 1, left - kReachBack);
            const bool reaches = last.system >= 0 && from + 1 < left - 1;
            if (p.tiedFromBefore) {
                if (reaches)
                    arc(MarkKind::Tie, {from + 1, y + 1}, {left - 1, y + 1}, y + kLineGap * 0.45f);
            } else if (score::isLegato(note.technique)) {
                if (reaches)
                    arc(MarkKind::Slur, {from + 1, y - 1}, {left - 1, y - 1}, y - kLineGap * 0.45f);
                const char letter = note.technique == score::Technique::HammerOn ? 'H' : 'P';
                if (letters.find(letter) == std::string::npos)
                    letters += letter;
            } else if (score::isSlide(note.technique) && reaches) {
                const bool up = note.technique == score::Technique::SlideUp;
                line(MarkKind::Slide, {from + 1, up ? y + 2 : y - 2},
                     {left - 1, up ? y - 2 : y + 2}, 0)
                    .value = up ? 1 : 2;
            }
            last = {system, right};
        }
        const float letterY = staffTop - kStaffTop + kTechniqueTop + kSmallSize / 2;
        if (!p.tiedFromBefore && !column.notes.empty()) {
            const score::Technique t = column.notes.front().technique;
            // "Po", not the "P" tab books use: a pull-off's P stands in the same row.
            if (t == score::Technique::Slap || t == score::Technique::Pop)
                text(t == score::Technique::Slap ? "S" : "Po", FontRole::Technique, kSmallSize, x,
                     letterY, Align::Centre);
        }
        if (!letters.empty()) {
            // Over the arcs, between this column and the one before it on the system.
            const float at = i > m_systemFirst ? (m_x[i - 1] + x) / 2 : x;
            text(letters, FontRole::Technique, kSmallSize, at, letterY, Align::Centre);
        }

        // A half note's stem is half as long, so that it reads apart from a quarter's.
        const bool half = p.value.level == kHalfLevel;
        if (p.value.level > kWholeLevel)
            line(MarkKind::Stem, {x, half ? laneTop + kStemLength / 2 : laneTop}, {x, stemEnd},
                 kStemWidth)
                .value = half ? 1 : 0;
        if (p.value.dotted)
            add(MarkKind::Dot, {x + 3, laneTop + 2, kDotSize, kDotSize});
        beams(i, stemEnd);
    }

    void arc(MarkKind kind, Point from, Point to, float bulge)
    {
        Mark& mark =
            add(kind, {from.x, std::min(from.y, bulge), to.x - from.x, std::abs(bulge - from.y)});
        mark.from = from;
        mark.to = to;
    }

    // The beams joining this piece to the one before, its own short beams where it needs
    // more than either neighbour gives, or its flag when it stands alone.
    void beams(std::size_t i, float stemEnd)
    {
        const Piece& p = m_rhythm.pieces[i];
        if (p.value.level < kEighthLevel)
            return;
        const int needs = p.value.level - kEighthLevel + 1;
        const int toBefore = i > m_systemFirst ? p.beamsToBefore : 0;
        const std::size_t next = i + 1;
        const int toAfter = next < m_systemEnd ? m_rhythm.pieces[next].beamsToBefore : 0;
        const float x = m_x[i];
        const auto beamY = [stemEnd](int level) {
            return stemEnd - kBeamThickness - static_cast<float>(level - 1) * kBeamStep;
        };
        for (int level = 1; level <= toBefore; ++level) {
            const float y = beamY(level);
            Mark& beam = add(MarkKind::Beam, {m_x[i - 1], y, x - m_x[i - 1], kBeamThickness});
            beam.value = static_cast<std::uint8_t>(level);
            beam.from = {m_x[i - 1], y};
            beam.to = {x, y};
        }
        if (toBefore == 0 && toAfter == 0) {
            const float height = 7 + 3 * static_cast<float>(needs - 1);
            Mark& flag = add(MarkKind::Flag, {x, stemEnd - height, kFlagWidth, height});
            flag.value = p.value.level;
            return;
        }
        // Short beams point into the group: right from its first piece, else left.
        const bool right = toBefore == 0;
        for (int level = std::max(toBefore, toAfter) + 1; level <= needs; ++level) {
            const float y = beamY(level);
            const float from = right ? x : x - kBeamletLength;
            Mark& beam = add(MarkKind::Beam, {from, y, kBeamletLength, kBeamThickness});
            beam.value = static_cast<std::uint8_t>(level);
            beam.from = {from, y};
            beam.to = {from + kBeamletLength, y};
        }
    }

    // Each triplet's 3 under its beam, or under a bracket when no beam holds the three alone.
    void tuplets(std::size_t from, std::size_t to, float stemEnd)
    {
        const std::vector<Tuplet>& all = m_rhythm.tuplets;
        while (m_tuplet < all.size() && all[m_tuplet].firstPiece < to) {
            const Tuplet& t = all[m_tuplet];
            const std::size_t first = std::max(t.firstPiece, from);
            const std::size_t last = std::min(t.firstPiece + t.pieceCount, to) - 1;
            if (t.firstPiece + t.pieceCount > to) {
                tuplet(first, last, false, stemEnd);
                break; // the rest of it on the next system
            }
            tuplet(first, last, t.beamed && first == t.firstPiece, stemEnd);
            ++m_tuplet;
        }
    }

    void tuplet(std::size_t first, std::size_t last, bool beamed, float stemEnd)
    {
        const float middle = (m_x[first] + m_x[last]) / 2;
        const float y = stemEnd + 5;
        // Copied: adding the bracket may move the page's marks in memory.
        const Rect three =
            text("3", FontRole::Tuplet, kSmallSize, middle, y + 0.5f, Align::Centre).box;
        if (beamed)
            return;
        const float left = m_x[first] - 3;
        const float right = m_x[last] + 3;
        const float hook = stemEnd + 2;
        if (three.x - 1 > left) {
            Mark& half = add(MarkKind::TupletBracket, {left, hook, three.x - 1 - left, y - hook});
            half.from = {left, y};
            half.to = {three.x - 1, y};
        }
        if (right > three.right() + 1) {
            Mark& half = add(MarkKind::TupletBracket,
                             {three.right() + 1, hook, right - three.right() - 1, y - hook});
            half.from = {right, y};
            half.to = {three.right() + 1, y};
        }
    }

    // "2 / 5" at the foot of each page from `first` on, but the first page.
    void pageNumbers(std::size_t first)
    {
        const std::size_t count = m_sheet.pages.size();
        for (m_page = std::max<std::size_t>(first, 1); m_page < count; ++m_page)
            text(std::to_string(m_page + 1) + " / " + std::to_string(count), FontRole::PageNumber,
                 kPageNumberSize, m_sheet.size.width / 2, m_bottom + kMargin / 2, Align::Centre);
        m_kept.systems = m_sheet.systems.size();
        m_kept.pages = m_sheet.pages.size();
    }

    const score::Score& m_score;
    const SheetInput& m_input;
    const TextMeasure& m_measure;
    const int m_strings;
    Sheet& m_sheet;
    KeptLayout& m_kept;
    Rhythm& m_rhythm;
    std::vector<std::string> m_names;
    std::vector<float>& m_width;
    std::vector<float>& m_lead;
    std::vector<float>& m_weight;
    std::vector<float>& m_x;
    std::array<LastNote, instrument::kMaxStrings + 1> m_last{};
    std::size_t m_page = 0;
    std::size_t m_systemFirst = 0;
    std::size_t m_systemEnd = 0;
    std::size_t m_tuplet = 0;
    float m_right = 0;
    float m_bottom = 0;
    float m_staffHeight = 0;
    float m_systemHeight = 0;
    float m_y = 0;
};

} // namespace

PageSize pageSize(Paper paper)
{
    // A4 is 210 x 297 mm, Letter 8.5 x 11 inches.
    return paper == Paper::Letter ? PageSize{612, 792} : PageSize{595.276f, 841.89f};
}

std::string tuningText(const instrument::Tuning& tuning, int strings)
{
    strings = std::clamp(strings, instrument::kMinStrings, instrument::kMaxStrings);
    std::string text;
    for (int s = strings; s >= 1; --s) {
        const std::string name = trimmed(tuning.at(s));
        if (name.empty())
            continue;
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

Sheet layoutSheet(const score::Score& score, const SheetInput& input, const TextMeasure& measure)
{
    return SheetLayout(measure).layout(score, input);
}

Sheet layoutSheet(const score::Score& score, const SheetInput& input)
{
    return layoutSheet(score, input, EstimatedTextMeasure{});
}

namespace {

bool printsAlike(const score::Column& a, const score::Column& b)
{
    const auto note = [](const score::Note& n, const score::Note& m) {
        return n.string == m.string && n.fret == m.fret && n.technique == m.technique;
    };
    return a.start == b.start && a.length == b.length && a.symbol == b.symbol &&
           a.dotted == b.dotted && a.triplet == b.triplet && a.rest == b.rest &&
           std::equal(a.notes.begin(), a.notes.end(), b.notes.begin(), b.notes.end(), note);
}

} // namespace

std::size_t firstChangedColumn(const score::Score& before, const score::Score& after)
{
    const auto [a, b] = std::mismatch(before.columns.begin(), before.columns.end(),
                                      after.columns.begin(), after.columns.end(), printsAlike);
    return static_cast<std::size_t>(a - before.columns.begin());
}

SheetLayout::SheetLayout(const TextMeasure& measure) :
    m_measure(measure), m_kept(std::make_unique<KeptLayout>())
{
}

SheetLayout::~SheetLayout() = default;

Sheet SheetLayout::layout(const score::Score& score, const SheetInput& input)
{
    Sheet sheet;
    Layouter(score, input, m_measure, sheet, *m_kept).run();
    return sheet;
}

void SheetLayout::relayout(Sheet& sheet, const score::Score& score, const SheetInput& input,
                           std::size_t firstChanged)
{
    Layouter layouter(score, input, m_measure, sheet, *m_kept);
    const bool same = input == m_kept->input &&
                      stringsOf(score) == m_kept->strings &&
                      sheet.systems.size() == m_kept->systems &&
                      sheet.pages.size() == m_kept->pages && sheet.size == pageSize(input.paper);
    if (same)
        layouter.resume(firstChanged);
    else
        layouter.run();
}

} // namespace quorlin::sheet
