#include "sheet/Rhythm.h"

#include "sheet/Marks.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorlin::sheet {

namespace {

using score::kTicksPerBeat;
constexpr std::int64_t kWholeTicks = 4 * kTicksPerBeat;

// Every value a piece can take, longest first, in two tables: plain and dotted, and the same
// three in the time of two.
constexpr std::array<NoteValue, 2 * (kShortestLevel + 1)> valueTable(bool triplet)
{
    std::array<NoteValue, 2 * (kShortestLevel + 1)> values{};
    std::size_t n = 0;
    for (int level = 0; level <= kShortestLevel; ++level) {
        values[n++] = {static_cast<std::uint8_t>(level), true, triplet};
        values[n++] = {static_cast<std::uint8_t>(level), false, triplet};
    }
    return values;
}
constexpr auto kPlainValues = valueTable(false);
constexpr auto kTripletValues = valueTable(true);

// The value a column was written with, when a piece is the whole of it.
NoteValue writtenValue(const score::Column& column)
{
    // The palette runs from the sixteenth (level 4) up to the whole note (level 0).
    const std::size_t index = tabtext::kDurationSymbols.find(column.symbol);
    const int level = index == std::string_view::npos ? 2 : 4 - static_cast<int>(index);
    return {static_cast<std::uint8_t>(level), column.dotted, column.triplet};
}

class Measurer {
public:
    // `closed`: the rhythm's last bar is complete already.
    Measurer(Rhythm& rhythm, TimeSignature time, bool closed) :
        m_rhythm(rhythm), m_bar(barTicks(time)), m_beam(beamTicks(time)), m_closed(closed)
    {
    }

    // Time from `start` for `length` ticks, cut at every bar line it crosses.
    void add(Piece::Kind kind, int column, std::int64_t start, std::int64_t length,
             const NoteValue* written, bool triplet)
    {
        std::int64_t at = start;
        const std::int64_t end = start + length;
        bool first = true;
        while (at < end) {
            openBarsUpTo(at);
            const std::int64_t barEnd = m_rhythm.bars.back().start + m_bar;
            const std::int64_t part = std::min(end, barEnd) - at;
            if (kind == Piece::Kind::Blank) {
                push({kind, column, at, part, {}, false, 0});
            } else if (written && part == length) {
                push({kind, column, at, part, *written, false, 0});
            } else {
                std::int64_t t = at;
                for (const NoteValue value : valuesOf(part, triplet)) {
                    const std::int64_t ticks = std::min(ticksOf(value), at + part - t);
                    push({kind, column, t, ticks, value, kind == Piece::Kind::Note && !first, 0});
                    first = false;
                    t += ticks;
                }
            }
            first = false;
            at += part;
        }
    }

    // Rests up to the last bar's end: a bar is printed full.
    void finish(std::int64_t end)
    {
        if (m_rhythm.bars.empty())
            return;
        const std::int64_t barEnd = m_rhythm.bars.back().start + m_bar;
        if (end < barEnd)
            add(Piece::Kind::Rest, -1, end, barEnd - end, nullptr, false);
        closeBar();
    }

private:
    void openBarsUpTo(std::int64_t at)
    {
        while (m_rhythm.bars.empty() || at >= m_rhythm.bars.back().start + m_bar) {
            const std::int64_t start =
                m_rhythm.bars.empty() ? 0 : m_rhythm.bars.back().start + m_bar;
            closeBar();
            m_rhythm.bars.push_back({start, m_rhythm.pieces.size(), 0});
        }
    }

    void push(const Piece& piece)
    {
        m_rhythm.pieces.push_back(piece);
        ++m_rhythm.bars.back().pieceCount;
    }

    // Inside one beam group, eighths and shorter that follow each other are joined.
    bool beamable(const Piece& p, std::int64_t barStart) const
    {
        if (p.kind != Piece::Kind::Note || p.value.level < kEighthLevel)
            return false;
        return (p.start - barStart) / m_beam == (p.start + p.length - 1 - barStart) / m_beam;
    }

    void closeBar()
    {
        // Closed twice, a bar would list its triplets twice.
        if (m_rhythm.bars.empty() || std::exchange(m_closed, false))
            return;
        const Bar& bar = m_rhythm.bars.back();
        const auto first = m_rhythm.pieces.begin() + static_cast<std::ptrdiff_t>(bar.firstPiece);
        const auto end = first + static_cast<std::ptrdiff_t>(bar.pieceCount);
        for (auto p = first; p != end; ++p) {
            if (p == first)
                continue;
            const Piece& before = *(p - 1);
            if (beamable(before, bar.start) && beamable(*p, bar.start) &&
                (before.start - bar.start) / m_beam == (p->start - bar.start) / m_beam)
                p->beamsToBefore = static_cast<std::uint8_t>(
                    std::min(before.value.level, p->value.level) - kEighthLevel + 1);
        }
        groupTuplets(bar);
        // A bar with nothing but a rest shows the whole rest, whatever its length.
        if (bar.pieceCount == 1 && first->kind == Piece::Kind::Rest)
            first->value = {kWholeLevel, false, false};
    }

    // Three in the time of two of the first one's value, or fewer where the run stops.
    void groupTuplets(const Bar& bar)
    {
        const std::vector<Piece>& pieces = m_rhythm.pieces;
        std::size_t p = bar.firstPiece;
        const std::size_t end = bar.firstPiece + bar.pieceCount;
        while (p < end) {
            if (!pieces[p].value.triplet || pieces[p].kind == Piece::Kind::Blank) {
                ++p;
                continue;
            }
            const std::int64_t span = 2 * ticksOf({pieces[p].value.level, false, false});
            Tuplet tuplet{p, 0, true};
            std::int64_t sum = 0;
            while (p < end && sum < span && pieces[p].value.triplet &&
                   pieces[p].kind != Piece::Kind::Blank) {
                if (tuplet.pieceCount > 0 && pieces[p].beamsToBefore == 0)
                    tuplet.beamed = false;
                sum += pieces[p].length;
                ++tuplet.pieceCount;
                ++p;
            }
            const Piece& firstPiece = pieces[tuplet.firstPiece];
            // A beam that goes on past the three says nothing about them alone.
            tuplet.beamed = tuplet.beamed && tuplet.pieceCount > 1 &&
                            firstPiece.beamsToBefore == 0 &&
                            (p >= end || pieces[p].beamsToBefore == 0);
            m_rhythm.tuplets.push_back(tuplet);
        }
    }

    Rhythm& m_rhythm;
    std::int64_t m_bar;
    std::int64_t m_beam;
    bool m_closed;
};

// A column of no time, or one that starts inside the one before, has no place in the bars.
bool takes(const score::Column& c, std::int64_t at)
{
    return c.length > 0 && c.start >= at;
}

} // namespace

TimeSignature checkedSignature(TimeSignature time)
{
    return model::isValid(time) ? time : TimeSignature{};
}

std::int64_t barTicks(TimeSignature time)
{
    time = checkedSignature(time);
    return time.beats * kWholeTicks / time.beatType;
}

std::int64_t beamTicks(TimeSignature time)
{
    time = checkedSignature(time);
    const std::int64_t beat = kWholeTicks / time.beatType;
    if (time.beatType <= 2)
        return kTicksPerBeat;
    if (time.beatType == 4)
        return beat;
    return beat * (time.beats % 3 == 0 ? 3 : 2);
}

std::int64_t ticksOf(NoteValue value)
{
    std::int64_t ticks = kWholeTicks >> std::min<int>(value.level, kShortestLevel);
    if (value.dotted)
        ticks = tabtext::dottedTicks(ticks);
    return value.triplet ? tabtext::tripletTicks(ticks) : ticks;
}

std::vector<NoteValue> valuesOf(std::int64_t ticks, bool triplet)
{
    // Greedy over one table, then the other for what it leaves; whether they add up.
    const auto greedy = [ticks](const auto& first, const auto& second) {
        std::pair<std::vector<NoteValue>, bool> result{{}, true};
        std::int64_t left = ticks;
        while (left > 0) {
            const auto fits = [left](NoteValue v) { return ticksOf(v) <= left; };
            auto found = std::find_if(first.begin(), first.end(), fits);
            if (found == first.end()) {
                found = std::find_if(second.begin(), second.end(), fits);
                if (found == second.end()) {
                    result.first.push_back(kTripletValues.back());
                    result.second = false;
                    break;
                }
            }
            result.first.push_back(*found);
            left -= ticksOf(*found);
        }
        return result;
    };
    const auto& preferred = triplet ? kTripletValues : kPlainValues;
    const auto& other = triplet ? kPlainValues : kTripletValues;
    // Values of one kind read best; mixed only when neither kind alone adds up.
    if (auto [values, exact] = greedy(preferred, preferred); exact)
        return values;
    if (auto [values, exact] = greedy(other, other); exact)
        return values;
    return greedy(preferred, other).first;
}

namespace {

// The columns from `first` on, the rhythm standing at `at` before them.
void measureFrom(Rhythm& rhythm, const score::Score& score, TimeSignature time, std::size_t first,
                 std::int64_t at)
{
    Measurer measurer(rhythm, time, !rhythm.bars.empty());
    for (std::size_t i = first; i < score.columns.size(); ++i) {
        const score::Column& c = score.columns[i];
        if (!takes(c, at))
            continue;
        if (c.start > at)
            measurer.add(Piece::Kind::Blank, -1, at, c.start - at, nullptr, false);
        const NoteValue written = writtenValue(c);
        const auto kind = c.rest ? Piece::Kind::Rest : Piece::Kind::Note;
        measurer.add(kind, static_cast<int>(i), c.start, c.length, &written, c.triplet);
        at = c.start + c.length;
    }
    measurer.finish(at);
}

} // namespace

Rhythm measureScore(const score::Score& score, TimeSignature time)
{
    Rhythm rhythm;
    // A piece a column and a few more where notes cross bar lines; grown once, not doubled.
    rhythm.pieces.reserve(score.columns.size() + score.columns.size() / 8 + 8);
    if (const std::int64_t bar = barTicks(time); bar > 0 && score.length > 0)
        rhythm.bars.reserve(
            static_cast<std::size_t>(std::min<std::int64_t>(
                score.length / bar, static_cast<std::int64_t>(score.columns.size()))) +
            2);
    measureFrom(rhythm, score, time, 0, 0);
    return rhythm;
}

std::size_t remeasureScore(Rhythm& rhythm, const score::Score& score, TimeSignature time,
                           std::size_t firstChanged)
{
    const std::size_t unchanged = std::min(firstChanged, score.columns.size());
    // From the last bar that opens with the start of an unchanged column: what comes before
    // it does not depend on the columns after.
    for (std::size_t bar = rhythm.bars.size(); bar-- > 1;) {
        const std::size_t first = rhythm.bars[bar].firstPiece;
        if (rhythm.bars[bar].pieceCount == 0)
            continue;
        const int column = rhythm.pieces[first].column;
        const std::int64_t start = rhythm.pieces[first].start;
        if (column < 0 || static_cast<std::size_t>(column) >= unchanged ||
            start != score.columns[static_cast<std::size_t>(column)].start)
            continue;
        rhythm.pieces.resize(first);
        while (!rhythm.tuplets.empty() && rhythm.tuplets.back().firstPiece >= first)
            rhythm.tuplets.pop_back();
        rhythm.bars.resize(bar);
        measureFrom(rhythm, score, time, static_cast<std::size_t>(column), start);
        return bar;
    }
    rhythm = measureScore(score, time);
    return 0;
}

} // namespace quorlin::sheet
