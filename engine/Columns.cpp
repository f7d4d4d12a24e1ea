#include "engine/Columns.h"

#include "tabtext/Marks.h"
#include "tabtext/TabCodec.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace quorlin::engine {

bool Column::sameAs(const Column& other) const
{
    return notes == other.notes && value == other.value && dotted == other.dotted &&
           newLineBefore == other.newLineBefore && tripletPart == other.tripletPart;
}

namespace {

tabtext::Setup setupOf(const EditingState& state)
{
    return {state.stringCount, state.tuning, state.tabWidth};
}

} // namespace

std::vector<Column> readColumns(const TabText& text, const EditingState& state)
{
    std::vector<Column> columns;
    readColumnsFrom(text, state, 0, columns);
    return columns;
}

void readColumnsFrom(const TabText& text, const EditingState& state, int from,
                     std::vector<Column>& columns)
{
    const tabtext::Reading tail = tabtext::readTabFrom(text, setupOf(state), from);
    if (!tail.problem.empty())
        throw std::invalid_argument(tail.problem);
    const int lines = blockLineCount(state.stringCount.value());
    from = std::clamp(from - from % lines, 0, text.count());
    const auto kept = std::ranges::find_if(
        columns, [from](const Column& column) { return column.firstLine >= from; });
    columns.erase(kept, columns.end());
    const std::vector<model::Beat>& beats = tail.track.beats;
    for (std::size_t b = 0; b < beats.size(); ++b) {
        const model::Beat& beat = beats[b];
        const tabtext::Place& place = tail.layout.places[b];
        Column column;
        static_cast<model::Beat&>(column) = beat;
        column.tripletGroup =
            beat.tripletPart >= 0 ? static_cast<int>(columns.size()) - beat.tripletPart : -1;
        column.block = static_cast<int>(place.block);
        column.indexInBlock = place.indexInBlock;
        column.firstLine = static_cast<int>(place.block) * lines;
        column.character = place.character;
        columns.push_back(std::move(column));
    }
    tabtext::dropSilentNewLines(std::span(columns), state.tabWidth);
}

bool endsWithNewLine(const TabText& text, const EditingState& state)
{
    // Blocks "<-" emptied at the end are passed over: the next column opens a block after
    // the last one holding a column either way, which is what "New line" there writes.
    // Fill ending that block, of "New line" or of an overflow, is the same fill.
    const int lines = blockLineCount(state.stringCount.value());
    std::string buffer;
    for (int start = text.count() - lines; start >= 0; start -= lines) {
        const std::string line = text.line(start);
        const std::string_view rhythm = narrowed(line, buffer);
        const std::size_t end = tabtext::cellsEnd(rhythm);
        if (end > kHeadLength)
            return end < rhythm.size();
    }
    return false;
}

namespace {

// A mark on its first note tells which note leads the column: a tie's, or a triplet's own.
bool markedLead(const Column& column)
{
    return model::isTie(column.technique()) || column.tripletPart >= 0;
}

[[noreturn]] void untypable(std::size_t index, const char* what)
{
    throw std::invalid_argument("Column " + std::to_string(index + 1) + ": " + what);
}

void check(std::span<const Column> columns, int strings)
{
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const Column& column = columns[c];
        for (std::size_t n = 0; n < column.notes.size(); ++n) {
            const ColumnNote& note = column.notes[n];
            if (note.string < 1 || note.string > strings || note.fret < 0 ||
                note.fret > instrument::kFrets)
                untypable(c, "a note off the neck");
            for (std::size_t m = 0; m < n; ++m) {
                if (column.notes[m].string == note.string)
                    untypable(c, "two notes on one string");
            }
        }
        const bool triplet = column.tripletPart >= 0;
        if (triplet && (column.rest() || column.technique() != Technique::Plain))
            untypable(c, "a triplet column with a technique or no note");
        if (column.chord() && triplet && column.tripletPart != 2)
            untypable(c, "a chord inside a triplet");
        if (column.tripletPart > 0 && column.newLineBefore)
            untypable(c, "a New line inside a triplet");
        if (column.tripletPart == 0) {
            const auto part = [&](std::size_t at, int expected) {
                return at < columns.size() && columns[at].tripletPart == expected &&
                       columns[at].value == column.value && columns[at].dotted == column.dotted &&
                       columns[at].notes.front() == column.notes.front();
            };
            if (!part(c + 1, 1) || !part(c + 2, 2))
                untypable(c, "a triplet not whole");
            c += 2;
        } else if (column.tripletPart > 0) {
            untypable(c, "a triplet not whole");
        }
    }
}

void require(DropOutcome outcome)
{
    // Every check the writers make was made on the list before.
    if (outcome != DropOutcome::Written)
        throw std::logic_error("The engine refused a column of a checked list");
}

// The order a chord's notes are dropped in. The text keeps no order, but a slide after the
// chord tells which note was dropped last: the slide must stay on its string. A marked note
// (or a triplet's own) goes first, as the one that carries the technique.
std::vector<ColumnNote> dropOrder(std::span<const Column> columns, std::size_t at)
{
    std::vector<ColumnNote> notes = columns[at].notes;
    if (notes.size() < 2)
        return notes;
    const bool fixedLead = markedLead(columns[at]);
    const auto next = std::find_if(columns.begin() + static_cast<long>(at) + 1, columns.end(),
                                   [](const Column& column) { return !column.rest(); });
    if (next == columns.end() || !model::isSlide(next->technique()))
        return notes;
    const auto on = std::ranges::find(notes.begin() + (fixedLead ? 1 : 0), notes.end(),
                                      next->notes.front().string, &ColumnNote::string);
    if (on != notes.end())
        std::rotate(on, on + 1, notes.end());
    return notes;
}

void writeColumn(Staff& staff, std::span<const Column> columns, std::size_t at)
{
    const Column& column = columns[at];
    const std::vector<ColumnNote> notes = dropOrder(columns, at);
    if (column.newLineBefore)
        staff.JumpLine();
    if (column.rest()) {
        staff.setRest(column.symbol(), column.dotted);
        return;
    }
    // A triplet is written whole with its first column; its last may then take chord notes.
    if (column.tripletPart <= 0) {
        const ColumnNote& lead = notes.front();
        Technique technique = column.technique();
        if (model::isSlide(technique) && lead.string != staff.state().lastString)
            technique = Technique::Plain;
        require(staff.Dropped({lead.fret, lead.string, column.symbol(), technique, column.dotted,
                               column.tripletPart == 0 ? Entry::Triplet : Entry::Single}));
    }
    for (std::size_t n = 1; n < notes.size(); ++n) {
        const ColumnNote& note = notes[n];
        require(staff.Dropped({note.fret, note.string, column.symbol(), Technique::Plain,
                               column.dotted, Entry::Chord}));
    }
}

// Where the engine's own position stands after the columns before `end` were written from
// the start.
LastNote lastWritten(std::span<const Column> columns, std::size_t end)
{
    for (std::size_t at = end; at-- > 0;) {
        if (!columns[at].rest()) {
            const ColumnNote last = dropOrder(columns, at).back();
            return {last.string, last.fret};
        }
    }
    return {};
}

} // namespace

void writeColumns(Staff& staff, std::span<const Column> columns, bool newLineAfter)
{
    check(columns, staff.state().stringCount.value());
    for (std::size_t at = 0; at < columns.size(); ++at)
        writeColumn(staff, columns, at);
    if (newLineAfter)
        staff.JumpLine();
}

namespace {

// The columns as the engine types them after `last`: a chord's notes in the order they
// are dropped, a slide's direction from the note it leaves, a slide off that note's string
// plain, as the engine refuses it.
model::Track typedTrack(std::span<const Column> columns, LastNote last, const EditingState& state)
{
    model::Track track;
    track.strings = state.stringCount;
    track.tuning = state.tuning;
    track.beats.reserve(columns.size());
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const Column& column = columns[at];
        model::Beat& beat = track.beats.emplace_back(column);
        beat.triplet = column.tripletPart >= 0;
        if (column.rest())
            continue;
        beat.notes = dropOrder(columns, at);
        const std::vector<ColumnNote>& notes = beat.notes;
        Technique technique = column.tripletPart >= 0 ? Technique::Plain : column.technique();
        if (model::isSlide(technique)) {
            technique = notes.front().string != last.string ? Technique::Plain
                        : notes.front().fret < last.fret    ? Technique::SlideDown
                                                            : Technique::SlideUp;
        }
        beat.setTechnique(technique);
        last = {notes.back().string, notes.back().fret};
    }
    return track;
}

// The lines of `tail` typed after `last`: on the tab's first block when nothing is kept,
// else each on a block of its own after the kept ones; then "New line" when asked.
std::vector<std::string> typedLines(std::span<const Column> tail, LastNote last,
                                    const EditingState& state, bool firstBlock, bool newLineAfter)
{
    check(tail, state.stringCount.value());
    const model::Track track = typedTrack(tail, last, state);
    const tabtext::Setup setup = setupOf(state);
    return tabtext::writeTab(track, tabtext::layOut(track, setup, newLineAfter, !firstBlock),
                             setup);
}

// Writes `tail` in place of the lines from `keep` on, as the engine would have typed it there
// after `last`, the kept block full; the engine then takes its position from the text.
void writeTail(Staff& staff, TabText& text, int keep, LastNote last, std::span<const Column> tail,
               bool newLineAfter)
{
    std::vector<std::string> lines = typedLines(tail, last, staff.state(), keep == 0, newLineAfter);
    text.eraseFrom(keep);
    text.appendLines(lines);
    staff.forgetPosition();
    staff.follow();
}

// The first column of the block of the column before `changed`: a block that ended early,
// for a triplet that did not fit or a "New line" now gone, may take more columns, so the
// rewrite starts there.
std::size_t rewriteStart(std::span<const Column> present, std::size_t changed)
{
    if (changed == 0)
        return 0;
    const int block = present[changed - 1].block;
    std::size_t from = changed - 1;
    while (from > 0 && present[from - 1].block == block)
        --from;
    return from;
}

} // namespace

int rewriteFrom(Staff& staff, TabText& text, const std::vector<Column>& present,
                const std::vector<Column>& edited)
{
    std::size_t changed = 0;
    while (changed < present.size() && changed < edited.size() &&
           present[changed].sameAs(edited[changed]))
        ++changed;
    if (changed == present.size() && changed == edited.size())
        return text.count();
    const std::size_t from = rewriteStart(present, changed);
    const int keep = from == 0 ? 0 : present[from].firstLine;
    const std::span<const Column> rewritten(edited);
    // A "New line" the tab ended in stays at its end.
    const bool newLineAfter = endsWithNewLine(text, staff.state());
    writeTail(staff, text, keep, lastWritten(rewritten, from), rewritten.subspan(from),
              newLineAfter);
    return keep;
}

namespace {

// The slide a column makes after `last`: its direction, or plain when it left the string.
Technique slideAfter(const Column& column, LastNote last)
{
    const ColumnNote& lead = column.notes.front();
    if (lead.string != last.string)
        return Technique::Plain;
    return lead.fret < last.fret ? Technique::SlideDown : Technique::SlideUp;
}

// With no mark to tell the lead, the text gives a chord's notes by string.
void byStringWhenUnmarked(Column& column)
{
    if (markOf(column.technique()) == kPlainMark)
        std::ranges::sort(column.notes, {}, &ColumnNote::string);
}

// Writes `cell` over the three characters at `character` of the line, when they differ. An
// articulation line an editor stripped of its trailing blanks gets them back first.
void putCell(TabText& text, int line, std::size_t character, std::string_view cell)
{
    std::string now = text.line(line);
    std::size_t byte = 0;
    for (std::size_t c = 0; c < character && byte < now.size(); ++c)
        byte = nextCharacter(now, byte);
    if (byte + kCellWidth > now.size())
        now.resize(byte + kCellWidth, ' ');
    if (now.compare(byte, kCellWidth, cell) == 0)
        return;
    now.replace(byte, kCellWidth, cell);
    text.replace(line, now);
}

// Every cell of a column that is no triplet, as the writer makes them.
void putColumn(TabText& text, const Column& column, int strings)
{
    const auto at = static_cast<std::size_t>(column.character);
    const std::vector<std::string> cells = tabtext::beatCells(column, strings);
    for (std::size_t k = 0; k < cells.size(); ++k)
        putCell(text, column.firstLine + static_cast<int>(k), at, cells[k]);
}

} // namespace

bool leansOnNoteBefore(Technique technique)
{
    return model::isTie(technique);
}

bool hasNoteBefore(std::span<const Column> columns, std::size_t at)
{
    const int string = columns[at].notes.empty() ? 0 : columns[at].notes.front().string;
    for (std::size_t c = at; c-- > 0;) {
        const Column& before = columns[c];
        if (before.rest())
            continue;
        // A slide goes on from the chord note dropped last, and the note that carries a
        // chord's technique is dropped first.
        const bool marked = markedLead(before);
        if (model::isSlide(columns[at].technique()) && marked && before.chord() &&
            before.notes.front().string == string)
            return false;
        return std::ranges::find(before.notes, string, &ColumnNote::string) != before.notes.end();
    }
    return false;
}

std::pair<std::size_t, std::size_t> wholeTriplets(std::span<const Column> columns,
                                                  std::size_t first, std::size_t last)
{
    last = std::min(last, columns.size());
    first = std::min(first, last);
    // An empty range, a place to put columns, goes before a triplet it falls inside.
    const bool empty = first == last;
    if (first < columns.size() && columns[first].tripletPart > 0)
        first -= static_cast<std::size_t>(columns[first].tripletPart);
    if (empty)
        return {first, first};
    if (columns[last - 1].tripletPart >= 0)
        last += static_cast<std::size_t>(2 - columns[last - 1].tripletPart);
    return {first, last};
}

std::vector<Column> copyColumns(std::span<const Column> columns, std::size_t first,
                                std::size_t last)
{
    std::tie(first, last) = wholeTriplets(columns, first, last);
    std::vector<Column> run(columns.begin() + static_cast<long>(first),
                            columns.begin() + static_cast<long>(last));
    if (!run.empty())
        run.front().newLineBefore = false;
    return run;
}

std::vector<std::int64_t> columnStarts(std::span<const Column> columns)
{
    std::vector<std::int64_t> starts;
    starts.reserve(columns.size() + 1);
    std::int64_t at = 0;
    starts.push_back(at);
    for (const Column& column : columns) {
        const std::int64_t ticks = writtenTicks(column.symbol(), column.dotted);
        at += column.tripletPart >= 0 ? tripletTicks(ticks) : ticks;
        starts.push_back(at);
    }
    return starts;
}

namespace {

std::int64_t barOf(std::int64_t tick, TimeSignature time)
{
    return barBeatAt(tick, time).bar;
}

// The first of the columns before `end` that start in the bar of `tick`, or `end`.
std::size_t firstInBar(std::span<const std::int64_t> starts, std::size_t end, std::int64_t tick,
                       TimeSignature time)
{
    const std::int64_t bar = barOf(tick, time);
    while (end > 0 && barOf(starts[end - 1], time) == bar)
        --end;
    return end;
}

} // namespace

std::optional<std::size_t> nextBarColumn(std::span<const std::int64_t> starts, std::size_t at,
                                         TimeSignature time)
{
    const std::size_t count = starts.empty() ? 0 : starts.size() - 1;
    if (at >= count)
        return std::nullopt;
    const std::int64_t bar = barOf(starts[at], time);
    for (std::size_t c = at + 1; c < count; ++c) {
        if (barOf(starts[c], time) > bar)
            return c;
    }
    return std::nullopt;
}

std::optional<std::size_t> previousBarColumn(std::span<const std::int64_t> starts, std::size_t at,
                                             TimeSignature time)
{
    const std::size_t count = starts.empty() ? 0 : starts.size() - 1;
    if (count == 0)
        return std::nullopt;
    at = std::min(at, count);
    const std::size_t first = firstInBar(starts, at, starts[at], time);
    if (first < at)
        return first;
    if (at == 0)
        return 0;
    return firstInBar(starts, at - 1, starts[at - 1], time);
}

std::optional<std::size_t> barColumn(std::span<const std::int64_t> starts, std::int64_t bar,
                                     TimeSignature time)
{
    if (starts.size() < 2 || bar < 1 || bar > barCount(starts, time))
        return std::nullopt;
    const std::int64_t tick = barStart(bar, time);
    const auto after = std::upper_bound(starts.begin(), starts.end() - 1, tick);
    return static_cast<std::size_t>(after - starts.begin()) - 1;
}

std::int64_t barCount(std::span<const std::int64_t> starts, TimeSignature time)
{
    if (starts.empty() || starts.back() <= 0)
        return 0;
    return barOf(starts.back() - 1, time);
}

std::vector<std::string> tabOf(std::span<const Column> run, const EditingState& state)
{
    return typedLines(run, {}, state, true, false);
}

namespace {

// The index of the first note column from `at` on, or the list's size.
std::size_t noteFrom(std::span<const Column> columns, std::size_t at)
{
    while (at < columns.size() && columns[at].rest())
        ++at;
    return at;
}

// What the technique of columns[at] becomes once the notes before it changed: a slide takes
// its direction from the note it now leaves; a technique whose note is gone turns plain.
// `hadNote`: it had its note before the change (one that never had, as the engine writes at
// the end, stays as it was).
Technique techniqueAfterChange(std::span<const Column> columns, std::size_t at, bool hadNote)
{
    const Technique technique = columns[at].technique();
    if (!leansOnNoteBefore(technique))
        return technique;
    if (!hasNoteBefore(columns, at))
        return hadNote ? Technique::Plain : technique;
    return model::isSlide(technique) ? slideAfter(columns[at], lastWritten(columns, at))
                                     : technique;
}

// Sets the technique the change left the column; true when it turned plain.
bool settle(Column& column, Technique technique)
{
    const bool plain = technique == Technique::Plain && column.technique() != technique;
    column.setTechnique(technique);
    if (plain)
        byStringWhenUnmarked(column);
    return plain;
}

} // namespace

ColumnEdit editColumn(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                      Column column)
{
    if (at >= columns.size())
        throw std::invalid_argument("No column " + std::to_string(at + 1));
    const Column& present = columns[at];
    if (present.tripletPart >= 0 || column.tripletPart >= 0)
        untypable(at, "a triplet edited by its columns");
    column.newLineBefore = present.newLineBefore;
    column.tripletGroup = -1;
    column.block = present.block;
    column.indexInBlock = present.indexInBlock;
    column.firstLine = present.firstLine;
    column.character = present.character;
    column.setTechnique(column.technique());
    byStringWhenUnmarked(column);
    const int strings = staff.state().stringCount.value();
    check(std::span(&column, 1), strings);

    // The list is edited where it stands, not copied: a tab may hold many thousands of
    // columns, and this edit must cost what appending a note costs.
    ColumnEdit result;
    const std::size_t next = noteFrom(columns, at + 1);
    const bool nextHadNote = next < columns.size() && hasNoteBefore(columns, next);
    Column old = std::exchange(columns[at], std::move(column));
    Column& now = columns[at];
    if (leansOnNoteBefore(now.technique())) {
        // A hammer-on that the engine wrote from no note stays, while only its duration changes.
        const bool kept = now.notes == old.notes;
        if (!hasNoteBefore(columns, at) && !kept) {
            result.outcome = model::isSlide(now.technique()) ? DropOutcome::SlideRefused
                                                             : DropOutcome::NoNoteBefore;
            columns[at] = std::move(old);
            return result;
        }
        if (model::isSlide(now.technique()))
            now.setTechnique(slideAfter(now, lastWritten(columns, at)));
    }
    // Only the next note can change with this one: it plays from it.
    std::optional<Column> nextOld;
    if (next < columns.size()) {
        const Technique technique = techniqueAfterChange(columns, next, nextHadNote);
        if (technique != columns[next].technique()) {
            nextOld = columns[next];
            if (settle(columns[next], technique))
                result.turnedPlain.push_back(next);
        }
    }
    if (!nextOld && now.sameAs(old)) {
        columns[at] = std::move(old);
        return result;
    }

    // A rest goes where a note would have opened a block, so only a note turned rest inside
    // its block keeps every column where it was.
    const bool restChanged = now.rest() != old.rest();
    if (restChanged && (!now.rest() || old.indexInBlock == 0)) {
        Column edited = std::move(now);
        columns[at] = std::move(old);
        if (nextOld)
            columns[next] = std::move(*nextOld);
        const Splice splice = spliceColumns(staff, text, columns, at, at + 1, {std::move(edited)});
        result.turnedPlain = splice.turnedPlain;
        result.path = EditPath::Rewritten;
        return result;
    }
    putColumn(text, now, strings);
    if (nextOld)
        putColumn(text, columns[next], strings);
    staff.forgetPosition();
    staff.follow();
    result.path = EditPath::InPlace;
    return result;
}

Splice spliceColumns(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t first,
                     std::size_t last, std::vector<Column> run)
{
    if (first > last || last > columns.size())
        throw std::invalid_argument("No columns " + std::to_string(first + 1) + " to " +
                                    std::to_string(last));
    Splice result;
    std::tie(first, last) = wholeTriplets(columns, first, last);
    result.first = first;
    result.last = last;
    if (first == last && run.empty())
        return result;

    // The user's "New line" stays before whatever stands where it stood; one the tab ends in
    // stands before the place after the last column.
    const bool endBreak = endsWithNewLine(text, staff.state());
    const bool lineBreak = first < columns.size() ? columns[first].newLineBefore : endBreak;
    for (Column& column : run)
        column.tripletGroup = -1;
    if (!run.empty())
        run.front().newLineBefore = run.front().newLineBefore || lineBreak;

    // Written again from the block of the column before the change; the note column before
    // that comes along to tell the first ones what they play from.
    const std::size_t from = rewriteStart(columns, first);
    std::size_t base = from;
    for (std::size_t c = from; c-- > 0;) {
        if (!columns[c].rest()) {
            base = c;
            break;
        }
    }
    const std::size_t next = noteFrom(columns, last);
    const bool nextHadNote = next < columns.size() && hasNoteBefore(columns, next);
    std::vector<Column> window;
    window.reserve(columns.size() - base + run.size());
    window.insert(window.end(), columns.begin() + static_cast<long>(base),
                  columns.begin() + static_cast<long>(first));
    const std::size_t runAt = window.size();
    window.insert(window.end(), std::make_move_iterator(run.begin()),
                  std::make_move_iterator(run.end()));
    const std::size_t after = window.size();
    window.insert(window.end(), columns.begin() + static_cast<long>(last), columns.end());
    if (after < window.size()) {
        if (runAt == after)
            window[after].newLineBefore = window[after].newLineBefore || lineBreak;
        else if (first == last)
            window[after].newLineBefore = false;
    }

    // What was put in plays from new notes before it, and so does the note after the change.
    const auto turned = [&](std::size_t at) { result.turnedPlain.push_back(base + at); };
    for (std::size_t at = runAt; at < after; ++at) {
        if (window[at].tripletPart < 0 &&
            settle(window[at], techniqueAfterChange(window, at, true)))
            turned(at);
    }
    const std::size_t nextNow = noteFrom(window, after);
    if (next < columns.size() && nextNow < window.size() &&
        settle(window[nextNow], techniqueAfterChange(window, nextNow, nextHadNote)))
        turned(nextNow);

    const std::span<const Column> all(window);
    const int keep = from == 0 ? 0 : columns[from].firstLine;
    // Columns taken out up to the end leave their "New line" as the tab's end, where the next
    // note typed goes after it; columns put at the end take the one it ended in.
    const bool appended = first == columns.size();
    const bool removedToEnd = runAt == after && after == window.size();
    const bool breakAtEnd = !appended && (endBreak || (removedToEnd && lineBreak));
    writeTail(staff, text, keep, lastWritten(all, from - base), all.subspan(from - base),
              breakAtEnd);
    readColumnsFrom(text, staff.state(), keep, columns);
    return result;
}

ColumnEdit replaceNote(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                       ColumnNote note)
{
    Column column = columns.at(at);
    // The note keeps the technique and the marks of the one it replaces.
    if (!column.rest()) {
        note.technique = column.technique();
        note.flags = column.notes.front().flags;
    }
    column.notes = {note};
    return editColumn(staff, text, columns, at, column);
}

ColumnEdit changeDuration(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at,
                          char symbol, bool dotted)
{
    Column column = columns.at(at);
    column.setSymbol(symbol);
    column.dotted = dotted;
    return editColumn(staff, text, columns, at, column);
}

ColumnEdit changeTechnique(Staff& staff, TabText& text, std::vector<Column>& columns,
                           std::size_t at, Technique technique)
{
    Column column = columns.at(at);
    column.setTechnique(technique);
    return editColumn(staff, text, columns, at, column);
}

ColumnEdit makeRest(Staff& staff, TabText& text, std::vector<Column>& columns, std::size_t at)
{
    Column column = columns.at(at);
    column.notes.clear();
    return editColumn(staff, text, columns, at, column);
}

namespace {

// Where the pitch sounds, nearest `fret` first: 0 when nowhere on the neck.
int placeFor(int pitch, int fret, std::span<const int> openPitches)
{
    int best = 0;
    for (int s = 1; s <= static_cast<int>(openPitches.size()); ++s) {
        const int at = pitch - openPitches[static_cast<std::size_t>(s - 1)];
        if (at < 0 || at > instrument::kFrets)
            continue;
        if (best == 0) {
            best = s;
            continue;
        }
        const int bestAt = pitch - openPitches[static_cast<std::size_t>(best - 1)];
        const int distance = std::abs(at - fret);
        const int bestDistance = std::abs(bestAt - fret);
        if (distance < bestDistance ||
            (distance == bestDistance && openPitches[static_cast<std::size_t>(s - 1)] <
                                             openPitches[static_cast<std::size_t>(best - 1)]))
            best = s;
    }
    return best;
}

} // namespace

Transposition transpose(Staff& staff, TabText& text, std::vector<Column>& columns,
                        std::size_t first, std::size_t last, int semitones,
                        std::span<const int> openPitches, std::span<const ColumnNote> placed)
{
    const int strings = staff.state().stringCount.value();
    if (static_cast<int>(openPitches.size()) < strings)
        throw std::invalid_argument("An open pitch for every string is needed");
    std::tie(first, last) = wholeTriplets(columns, first, last);
    if (!placed.empty()) {
        std::size_t notes = 0;
        for (std::size_t c = first; c < last; ++c)
            notes += columns[c].notes.size();
        if (placed.size() != notes)
            throw std::invalid_argument("A place for every note moved is needed");
    }

    Transposition result;
    std::vector<Column> edited = columns;
    std::size_t nth = 0;
    for (std::size_t c = first; c < last; ++c) {
        std::vector<ColumnNote>& notes = edited[c].notes;
        for (ColumnNote& note : notes) {
            const ColumnNote was = note;
            const int pitch =
                openPitches[static_cast<std::size_t>(note.string - 1)] + note.fret + semitones;
            if (!placed.empty()) {
                const ColumnNote there = placed[nth++];
                if (there.string >= 1 && there.string <= strings && there.fret >= 0 &&
                    there.fret <= instrument::kFrets &&
                    openPitches[static_cast<std::size_t>(there.string - 1)] + there.fret == pitch) {
                    note.string = there.string;
                    note.fret = there.fret;
                    continue;
                }
            }
            const int fret = note.fret + semitones;
            if (fret >= 0 && fret <= instrument::kFrets) {
                note.fret = fret;
                continue;
            }
            const int string =
                placeFor(pitch, note.fret, openPitches.first(static_cast<std::size_t>(strings)));
            if (string == 0) {
                result.misfits.emplace_back(c, was);
                continue;
            }
            note.string = string;
            note.fret = pitch - openPitches[static_cast<std::size_t>(string - 1)];
        }
        for (std::size_t n = 0; n < notes.size(); ++n) {
            for (std::size_t m = 0; m < n; ++m) {
                if (notes[m].string == notes[n].string) {
                    // Both notes of the pair: either could be the one to move by hand.
                    for (const std::size_t both : {m, n}) {
                        const std::pair<std::size_t, ColumnNote> misfit{c, columns[c].notes[both]};
                        if (std::ranges::find(result.misfits, misfit) == result.misfits.end())
                            result.misfits.push_back(misfit);
                    }
                }
            }
        }
    }
    if (!result.misfits.empty()) {
        result.refused = true;
        return result;
    }
    // A note that moved to another string may leave the one after it nothing to play from.
    const std::size_t next = noteFrom(edited, last);
    for (std::size_t c = first; c <= next && c < edited.size(); ++c) {
        if (settle(edited[c], techniqueAfterChange(edited, c, hasNoteBefore(columns, c))))
            result.turnedPlain.push_back(c);
    }
    readColumnsFrom(text, staff.state(), rewriteFrom(staff, text, columns, edited), columns);
    return result;
}

} // namespace quorlin::engine
