// The edits at the tab cursor: each one step, with the cursor and the selection put back by
// undo as they were.

#include "document/Document.h"

#include "document/Refinger.h"
#include "score/Score.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <tuple>

namespace quorlin::document {

namespace {

using engine::Column;
using engine::DropOutcome;
using engine::Technique;

class CursorChange final : public engine::OuterChange {
public:
    CursorChange(std::optional<int>& cursor, std::optional<int>& start) :
        m_cursor(cursor), m_start(start), m_before{cursor, start}, m_after(m_before)
    {
    }
    // Where the edit left them.
    void settle() { m_after = {m_cursor, m_start}; }
    void undo() override { put(m_before); }
    void redo() override { put(m_after); }
    bool changes() const override { return m_before != m_after; }

private:
    using Place = std::pair<std::optional<int>, std::optional<int>>;
    void put(const Place& place)
    {
        m_cursor = place.first;
        m_start = place.second;
    }

    std::optional<int>& m_cursor;
    std::optional<int>& m_start;
    Place m_before, m_after;
};

// A triplet of `column`'s first note; the other notes of a chord go to its last column.
std::vector<Column> tripletOf(Column column)
{
    std::vector<Column> run(tabtext::kTripletColumns, column);
    for (std::size_t part = 0; part < run.size(); ++part) {
        Column& c = run[part];
        c.setTechnique(Technique::Plain);
        c.tripletPart = static_cast<int>(part);
        c.newLineBefore = part == 0 && column.newLineBefore;
        if (part < 2)
            c.notes.resize(1);
    }
    return run;
}

// A triplet as one column: its note, with the chord its last column made.
Column collapsed(std::span<const Column> columns, std::size_t first)
{
    Column column = columns[first + 2];
    column.tripletPart = column.tripletGroup = -1;
    column.triplet = false;
    column.newLineBefore = columns[first].newLineBefore;
    return column;
}

// A hammer-on, pull-off or slide put at `first` needs the note column before it to have a
// note on its string.
bool playsFromNoteBefore(std::span<const Column> columns, std::size_t first, const Column& column)
{
    if (!engine::leansOnNoteBefore(column.technique()))
        return true;
    for (std::size_t c = first; c-- > 0;) {
        if (!columns[c].rest()) {
            const Column pair[] = {columns[c], column};
            return engine::hasNoteBefore(pair, 1);
        }
    }
    return false;
}

DropOutcome refusal(const Column& column)
{
    return model::isSlide(column.technique()) ? DropOutcome::SlideRefused
                                              : DropOutcome::NoNoteBefore;
}

std::vector<int> indices(const std::vector<std::size_t>& from)
{
    return {from.begin(), from.end()};
}

Column columnOf(const engine::Drop& drop)
{
    Column column;
    column.notes = {{drop.row, drop.column}};
    column.setSymbol(drop.symbol);
    column.dotted = drop.dotted;
    // A chord note has no column of its own to go in: it comes in as a note.
    column.setTechnique(drop.technique);
    return column;
}

// Puts `column` (a whole triplet when it is one) in place of columns [first, last), refused
// when it would play from no note; the number of columns put in.
std::size_t putIn(engine::Staff& staff, engine::TabText& text, std::vector<Column>& columns,
                  std::size_t first, std::size_t last, const Column& column, bool triplet,
                  Document::Edited& result)
{
    if (!playsFromNoteBefore(columns, first, column)) {
        result.outcome = refusal(column);
        return 0;
    }
    std::vector<Column> run = triplet ? tripletOf(column) : std::vector<Column>{column};
    const std::size_t added = run.size();
    result.turnedPlain = indices(
        engine::spliceColumns(staff, text, columns, first, last, std::move(run)).turnedPlain);
    return added;
}

} // namespace

template <typename Edit>
Document::Edited Document::editColumns(const char* label, Edit&& edit, bool atEndToo,
                                       const engine::Drop* placed)
{
    Edited result;
    m_history->settleText();
    const std::size_t count = columns().size();
    // Text typed by hand that no writer makes has no columns to edit.
    const bool cursorOn = m_tabCursor && *m_tabCursor < static_cast<int>(count);
    if (!m_columns.readable || (!cursorOn && !atEndToo)) {
        result.outcome = DropOutcome::Ignored;
        return result;
    }
    const std::size_t at = cursorOn ? static_cast<std::size_t>(*m_tabCursor) : count;
    // Where the cursor's column stands in the text: the cursor has moved when that changed.
    const auto standing = [this] {
        std::tuple<std::optional<int>, std::optional<int>, int, int> place{
            m_tabCursor, m_selectionStart, -1, -1};
        if (m_tabCursor && *m_tabCursor < static_cast<int>(m_columns.columns.size())) {
            const Column& column = m_columns.columns[static_cast<std::size_t>(*m_tabCursor)];
            std::get<2>(place) = column.firstLine;
            std::get<3>(place) = column.character;
        }
        return place;
    };
    const auto before = standing();
    auto change = std::make_unique<CursorChange>(m_tabCursor, m_selectionStart);
    CursorChange& cursor = *change;
    engine::StepOptions options;
    options.outer = std::move(change);
    m_history->record(
        label,
        [&] {
            const engine::EditingState was = m_staff->state();
            try {
                edit(m_columns.columns, at, result);
            } catch (const std::exception&) {
                // A list the engine cannot write (a paste made by hand): nothing was written.
                result.outcome = DropOutcome::Ignored;
                m_columns.readable = false;
            }
            // The "X" marks the note the user placed last, not the notes a rewrite wrote.
            engine::Staff::Snapshot now = m_staff->snapshot();
            const bool written = placed != nullptr && result.outcome == DropOutcome::Written;
            now.state.markCol = written ? placed->column : was.markCol;
            now.state.markRow = written ? placed->row : was.markRow;
            m_staff->restore(now);
            cursor.settle();
        },
        std::move(options));
    // The edit kept the columns as the text now reads; what it wrote needs no reading.
    if (m_columns.readable) {
        m_columns.revision = m_textChanges;
        m_changedFrom = std::numeric_limits<int>::max();
    } else {
        m_columns.revision = ~std::uint64_t{0};
    }
    emit changed();
    if (standing() != before)
        emit tabCursorMoved();
    return result;
}

std::optional<std::pair<std::size_t, std::size_t>> Document::editedRange() const
{
    if (const auto selected = selection())
        return std::pair<std::size_t, std::size_t>(selected->first, selected->second);
    if (!m_tabCursor)
        return std::nullopt;
    const auto at = static_cast<std::size_t>(*m_tabCursor);
    return engine::wholeTriplets(columns(), at, at + 1);
}

Document::Edited Document::replaceAtCursor(const engine::Drop& drop)
{
    if (drop.row < 1 || drop.row > m_staff->state().stringCount.value() || drop.column < 0 ||
        drop.column > instrument::kFrets)
        return {DropOutcome::Ignored, {}, {}};
    tabtext::requireDurationSymbol(drop.symbol);
    const char* label = drop.entry == engine::Entry::Chord ? "chord note" : "replace note";
    return editColumns(
        label,
        [this, &drop](std::vector<Column>& columns, std::size_t at, Edited& result) {
            auto& staff = *m_staff;
            const auto [first, last] = engine::wholeTriplets(columns, at, at + 1);
            const bool triplet = columns[at].tripletPart >= 0;
            engine::ColumnNote note{drop.row, drop.column};
            if (drop.entry == engine::Entry::Chord) {
                // Only a triplet's last column takes chord notes, and never on its own string.
                // The note sounds as long as the column does, whatever the palette says.
                const std::size_t target = triplet ? first + 2 : at;
                Column column = columns[target];
                if (column.rest() || (triplet && column.notes.front().string == drop.row)) {
                    result.outcome = DropOutcome::ChordRefused;
                    return;
                }
                const auto on =
                    std::ranges::find(column.notes, drop.row, &engine::ColumnNote::string);
                if (on != column.notes.end())
                    on->fret = drop.column;
                else
                    column.notes.push_back(note);
                if (triplet) {
                    std::vector<Column> run(columns.begin() + static_cast<long>(first),
                                            columns.begin() + static_cast<long>(last));
                    run.back() = std::move(column);
                    engine::spliceColumns(staff, *m_text, columns, first, last, std::move(run));
                    return;
                }
                const engine::ColumnEdit done =
                    engine::editColumn(staff, *m_text, columns, at, column);
                result.outcome = done.outcome;
                result.turnedPlain = indices(done.turnedPlain);
                return;
            }
            // A fret typed over a note changes the fret: the column keeps its value and
            // technique, which its own keys change.
            if (!triplet) {
                const engine::ColumnEdit done =
                    engine::replaceNote(staff, *m_text, columns, at, note);
                result.outcome = done.outcome;
                result.turnedPlain = indices(done.turnedPlain);
                return;
            }
            // A triplet plays one note three times: all three take the new one.
            std::vector<Column> run(columns.begin() + static_cast<long>(first),
                                    columns.begin() + static_cast<long>(last));
            // Its marks stay with it, as a single note's do.
            note.flags = run.front().notes.front().flags;
            if (run.front().notes.front() == note && !run.back().chord())
                return;
            for (Column& part : run)
                part.notes = {note};
            result.turnedPlain =
                indices(engine::spliceColumns(staff, *m_text, columns, first, last, std::move(run))
                            .turnedPlain);
        },
        false, &drop);
}

Document::Edited Document::restAtCursor(char symbol, bool dotted)
{
    tabtext::requireDurationSymbol(symbol);
    return editColumns("rest", [this, symbol, dotted](std::vector<Column>& columns, std::size_t at,
                                                      Edited& result) {
        const auto [first, last] = engine::wholeTriplets(columns, at, at + 1);
        Column rest;
        rest.setSymbol(symbol);
        rest.dotted = dotted;
        if (columns[at].tripletPart < 0) {
            result.turnedPlain =
                indices(engine::editColumn(*m_staff, *m_text, columns, at, rest).turnedPlain);
            return;
        }
        rest.newLineBefore = columns[first].newLineBefore;
        result.turnedPlain = indices(
            engine::spliceColumns(*m_staff, *m_text, columns, first, last, {rest}).turnedPlain);
        m_tabCursor = static_cast<int>(first);
    });
}

Document::Edited Document::durationAtCursor(char symbol, bool dotted)
{
    tabtext::requireDurationSymbol(symbol);
    return editColumns(
        "duration", [this, symbol, dotted](std::vector<Column>& columns, std::size_t at, Edited&) {
            if (columns[at].tripletPart < 0) {
                engine::changeDuration(*m_staff, *m_text, columns, at, symbol, dotted);
                return;
            }
            const auto [first, last] = engine::wholeTriplets(columns, at, at + 1);
            std::vector<Column> run(columns.begin() + static_cast<long>(first),
                                    columns.begin() + static_cast<long>(last));
            if (run.front().symbol() == symbol && run.front().dotted == dotted)
                return;
            for (Column& column : run) {
                column.setSymbol(symbol);
                column.dotted = dotted;
            }
            engine::spliceColumns(*m_staff, *m_text, columns, first, last, std::move(run));
        });
}

Document::Edited Document::techniqueAtCursor(Technique technique, engine::Entry entry)
{
    if (entry == engine::Entry::Chord)
        return {DropOutcome::Ignored, {}, {}};
    const bool makeTriplet = entry == engine::Entry::Triplet;
    const Technique wanted = makeTriplet ? Technique::Plain : technique;
    return editColumns("technique", [this, wanted, makeTriplet](std::vector<Column>& columns,
                                                                std::size_t at, Edited& result) {
        const auto [first, last] = engine::wholeTriplets(columns, at, at + 1);
        const bool triplet = columns[at].tripletPart >= 0;
        if (columns[at].rest() || (triplet && makeTriplet))
            return;
        if (!triplet && !makeTriplet) {
            const engine::ColumnEdit done =
                engine::changeTechnique(*m_staff, *m_text, columns, at, wanted);
            result.outcome = done.outcome;
            result.turnedPlain = indices(done.turnedPlain);
            return;
        }
        Column column = triplet ? collapsed(columns, first) : columns[at];
        column.setTechnique(wanted);
        if (putIn(*m_staff, *m_text, columns, first, last, column, makeTriplet, result) > 0)
            m_tabCursor = static_cast<int>(first);
    });
}

Document::Edited Document::insertAtCursor(const engine::Drop& drop)
{
    if (!m_tabCursor)
        return {placeNote(drop), {}, {}};
    if (drop.row < 1 || drop.row > m_staff->state().stringCount.value() || drop.column < 0 ||
        drop.column > instrument::kFrets)
        return {DropOutcome::Ignored, {}, {}};
    tabtext::requireDurationSymbol(drop.symbol);
    return editColumns(
        "insert note",
        [this, &drop](std::vector<Column>& columns, std::size_t at, Edited& result) {
            // Before a triplet, never inside it.
            const std::size_t first = engine::wholeTriplets(columns, at, at).first;
            const std::size_t added =
                putIn(*m_staff, *m_text, columns, first, first, columnOf(drop),
                      drop.entry == engine::Entry::Triplet, result);
            *m_tabCursor += static_cast<int>(added);
            if (added > 0)
                m_selectionStart.reset();
        },
        false, &drop);
}

Document::Edited Document::deleteAtCursor(bool cut)
{
    const auto range = editedRange();
    return editColumns(cut ? "cut" : "delete", [this, range](std::vector<Column>& columns,
                                                             std::size_t, Edited& result) {
        const auto [first, last] = *range;
        result.turnedPlain =
            indices(engine::spliceColumns(*m_staff, *m_text, columns, first, last, {}).turnedPlain);
        m_selectionStart.reset();
        if (first < columns.size())
            m_tabCursor = static_cast<int>(first);
        else
            m_tabCursor.reset();
    });
}

Document::Edited Document::deleteBeforeCursor()
{
    if (m_tabCursor.value_or(0) == 0)
        return {DropOutcome::Ignored, {}, {}};
    return editColumns("delete", [this](std::vector<Column>& columns, std::size_t at,
                                        Edited& result) {
        const auto [first, last] = engine::wholeTriplets(columns, at - 1, at);
        result.turnedPlain =
            indices(engine::spliceColumns(*m_staff, *m_text, columns, first, last, {}).turnedPlain);
        *m_tabCursor -= static_cast<int>(last - first);
        m_selectionStart.reset();
    });
}

Document::Edited Document::paste(std::vector<Column> run)
{
    if (run.empty())
        return {DropOutcome::Ignored, {}, {}};
    return editColumns(
        "paste",
        [this, &run](std::vector<Column>& columns, std::size_t at, Edited& result) {
            // While appending, at the end, as the next notes would have been typed.
            const std::size_t first =
                at < columns.size() ? engine::wholeTriplets(columns, at, at).first : at;
            const auto added = static_cast<int>(run.size());
            result.turnedPlain = indices(
                engine::spliceColumns(*m_staff, *m_text, columns, first, first, std::move(run))
                    .turnedPlain);
            if (m_tabCursor)
                *m_tabCursor += added;
            m_selectionStart.reset();
        },
        true);
}

std::vector<Column> Document::copyAtCursor() const
{
    const auto range = editedRange();
    if (!range)
        return {};
    return engine::copyColumns(columns(), range->first, range->second);
}

Document::Edited Document::transposeAtCursor(int semitones)
{
    const auto range = editedRange();
    return editColumns("transpose", [this, range, semitones](std::vector<Column>& columns,
                                                             std::size_t, Edited& result) {
        const engine::EditingState& s = m_staff->state();
        std::vector<int> open;
        for (int string = 1; string <= s.stringCount.value(); ++string)
            open.push_back(score::openPitch(string, s.stringCount, s.tuning.at(string)));
        // A semitone moves the hand a fret; a whole octave is played elsewhere on the neck, the
        // notes played again as a line.
        std::vector<engine::ColumnNote> placed;
        if (std::abs(semitones) >= 12)
            placed = refinger(columns, range->first, range->second, semitones, open);
        const engine::Transposition done = engine::transpose(
            *m_staff, *m_text, columns, range->first, range->second, semitones, open, placed);
        result.misfits = done.misfits;
        result.turnedPlain = indices(done.turnedPlain);
    });
}

} // namespace quorlin::document
