// A tab typed as the window types it, then a run of edits in the middle of it, one after
// another on the same tab: columns put in, taken out and replaced, single columns changed
// where they stand, runs transposed. After each, the tab must be the one the edited list
// writes from the start, the list must be what the rules below make of the one before, the
// lines before the edited block untouched and the position the one a load of the tab takes.
// The rules are written here again from how the edits are described, not taken from the
// code they check.

#include "engine/Columns.h"
#include "fuzz/TypedTabs.h"
#include "score/Score.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

using namespace quorlin;
using engine::Column;
using engine::Technique;
using fuzz::FuzzInput;

namespace {

constexpr int kMaxEdits = 12;

using Columns = std::vector<Column>;

bool slides(Technique t)
{
    return t == Technique::SlideUp || t == Technique::SlideDown;
}

bool leans(Technique t)
{
    return t == Technique::HammerOn || t == Technique::PullOff || slides(t);
}

// The note column before `at`, rests skipped, holds a note on `string`.
bool playedOn(const Columns& columns, std::size_t at, int string)
{
    for (std::size_t c = at; c-- > 0;) {
        if (columns[c].rest())
            continue;
        return std::ranges::any_of(columns[c].notes, [&](const engine::ColumnNote& note) {
            return note.string == string;
        });
    }
    return false;
}

// Whether a column at `at` with `technique` on `string` has its note before it: a slide goes
// on from the last note a chord dropped, never the first one that carries its mark.
bool playable(const Columns& columns, std::size_t at, int string, Technique technique)
{
    if (slides(technique)) {
        for (std::size_t c = at; c-- > 0;) {
            if (columns[c].rest())
                continue;
            const Column& chord = columns[c];
            if (chord.notes.size() > 1 && chord.notes.front().string == string &&
                (leans(chord.technique()) || chord.tripletPart >= 0))
                return false;
            break;
        }
    }
    return playedOn(columns, at, string);
}

// ... for `at`'s own first note and technique.
bool played(const Columns& columns, std::size_t at)
{
    return playable(columns, at, columns[at].notes.front().string, columns[at].technique());
}

std::size_t noteFrom(const Columns& columns, std::size_t at)
{
    while (at < columns.size() && columns[at].rest())
        ++at;
    return at;
}

// A technique that lost the note it plays from is plain; unmarked, a chord's notes go by
// string, as the text gives them back.
void makePlain(Column& column)
{
    column.setTechnique(Technique::Plain);
    std::ranges::sort(column.notes, {}, &engine::ColumnNote::string);
}

// [first, last) taking in the triplets it cuts; a place inside a triplet goes before it.
std::pair<std::size_t, std::size_t> whole(const Columns& columns, std::size_t first,
                                          std::size_t last)
{
    const bool empty = last <= first;
    while (first > 0 && first < columns.size() && columns[first].tripletPart > 0)
        --first;
    if (empty)
        return {first, first};
    while (last < columns.size() && columns[last].tripletPart > 0)
        ++last;
    return {first, last};
}

// Columns [first, last) give way to `run`. The "New line" before the first column taken out
// stays before what stands there now; what was put in, and the note after it, play from
// the notes now before them.
// A "New line" the tab ends in (`newLineAfter`) stands before the place after the last column:
// columns put there come after it, and columns taken out to the end leave theirs there.
Columns spliced(const Columns& present, std::size_t first, std::size_t last, Columns run,
                bool& newLineAfter)
{
    Columns next(present.begin(), present.begin() + static_cast<long>(first));
    const bool lineBreak = first < present.size() ? present[first].newLineBefore : newLineAfter;
    if (first == present.size() && !run.empty())
        newLineAfter = false;
    else if (run.empty() && last == present.size() && first < last)
        newLineAfter = newLineAfter || lineBreak;
    const std::size_t after = noteFrom(present, last);
    const bool afterPlayed = after < present.size() && played(present, after);
    if (!run.empty())
        run.front().newLineBefore = run.front().newLineBefore || lineBreak;
    const std::size_t runAt = next.size();
    next.insert(next.end(), run.begin(), run.end());
    const std::size_t tail = next.size();
    next.insert(next.end(), present.begin() + static_cast<long>(last), present.end());
    if (tail < next.size()) {
        if (run.empty())
            next[tail].newLineBefore = next[tail].newLineBefore || lineBreak;
        else if (first == last)
            next[tail].newLineBefore = false;
    }
    for (std::size_t c = runAt; c < tail; ++c) {
        if (next[c].tripletPart < 0 && leans(next[c].technique()) && !played(next, c))
            makePlain(next[c]);
    }
    const std::size_t nextNote = noteFrom(next, tail);
    if (nextNote < next.size() && afterPlayed && leans(next[nextNote].technique()) &&
        !played(next, nextNote))
        makePlain(next[nextNote]);
    return next;
}

// Equal as music, a slide's direction aside (the writer finds it from the note before) and
// "New line" aside: one that writes nothing is read as none, and the tabs compared before
// show every one that writes something.
bool sameMusic(const Columns& a, const Columns& b)
{
    return std::ranges::equal(a, b, [](Column x, Column y) {
        for (Column* c : {&x, &y}) {
            if (slides(c->technique()))
                c->setTechnique(Technique::SlideUp);
            c->newLineBefore = false;
            // No mark tells which note of a chord leads a slap, a pop or a plain note.
            if (!leans(c->technique()) && c->tripletPart < 0)
                std::ranges::sort(c->notes, {}, &engine::ColumnNote::string);
        }
        return x.sameAs(y);
    });
}

struct Checked {
    const fuzz::Setup& setup;
    fuzz::Tab& tab;
    Columns& columns; // as the edits keep it
    bool newLineAfter;

    // The tab holds what `expected` writes from the start, and the list read back from it.
    void require(const Columns& expected, const std::vector<std::string>& before, int kept)
    {
        fuzz::Tab scratch(setup);
        engine::writeColumns(scratch.staff, expected, newLineAfter && !expected.empty());
        fuzz::trace("edited", tab.text);
        fuzz::trace("written from the start", scratch.text);
        QUORLIN_REQUIRE(tab.text.lines() == scratch.text.lines());
        const Columns read = engine::readColumns(tab.text, tab.staff.state());
        QUORLIN_REQUIRE(std::ranges::equal(columns, read, &Column::sameAs));
        if (std::getenv("QUORLIN_FUZZ_TRACE") != nullptr) {
            for (std::size_t c = 0; c < std::max(columns.size(), expected.size()); ++c) {
                const auto show = [](const Columns& list, std::size_t at) {
                    if (at >= list.size())
                        return std::string("-");
                    const Column& k = list[at];
                    std::string out = std::string(k.newLineBefore ? "| " : "") + k.symbol() +
                                      (k.dotted ? "." : "") + " t" +
                                      std::to_string(static_cast<int>(k.technique())) + " p" +
                                      std::to_string(k.tripletPart);
                    for (const engine::ColumnNote& n : k.notes)
                        out += " " + std::to_string(n.string) + ":" + std::to_string(n.fret);
                    return out;
                };
                std::fprintf(stderr, "%2zu %-30s %s\n", c, show(columns, c).c_str(),
                             show(expected, c).c_str());
            }
        }
        QUORLIN_REQUIRE(sameMusic(columns, expected));
        kept = std::min(kept, static_cast<int>(before.size()));
        QUORLIN_REQUIRE(
            std::equal(before.begin(), before.begin() + kept, tab.text.lines().begin()));
        // A "New line" at the end that writes nothing (after rests gone on past the width)
        // is none: the tabs compared above cannot tell, so the next edit starts from the text.
        newLineAfter = engine::endsWithNewLine(tab.text, tab.staff.state());
        // An edit that wrote nothing leaves the position where typing left it.
        if (tab.text.lines() != before)
            fuzz::requireLoadedPosition(tab, setup);
    }

    // The first line of the block before the one a change at `at` lands in: nothing above it
    // may be written.
    int keptBefore(std::size_t at) const
    {
        if (at == 0)
            return 0;
        const int block = columns[at - 1].block;
        for (const Column& column : columns) {
            if (column.block == block)
                return column.firstLine;
        }
        return 0;
    }

    void splice(FuzzInput& in)
    {
        const std::size_t size = columns.size();
        const std::size_t at = size == 0 ? 0 : (in.byte() << 8 | in.byte()) % (size + 1);
        const std::size_t count = in.pick(3) == 0 ? 0 : static_cast<std::size_t>(in.pick(5));
        Columns run;
        for (int units = in.pick(4); units > 0; --units) {
            const Columns added = fuzz::unit(in, setup);
            run.insert(run.end(), added.begin(), added.end());
        }
        const auto [first, last] = whole(columns, at, std::min(size, at + count));
        const Columns expected = spliced(columns, first, last, run, newLineAfter);
        if (std::getenv("QUORLIN_FUZZ_TRACE") != nullptr)
            std::fprintf(stderr, "splice %zu..%zu of %zu (%zu..%zu), %zu in, %zu after, %d %d\n",
                         at, std::min(size, at + count), size, first, last, run.size(),
                         expected.size(), newLineAfter,
                         engine::endsWithNewLine(tab.text, tab.staff.state()));
        const std::vector<std::string> before = tab.text.lines();
        const int kept = keptBefore(first);
        engine::spliceColumns(tab.staff, tab.text, columns, at, std::min(size, at + count), run);
        require(expected, before, kept);
    }

    // One column that is no triplet's, replaced where it stands.
    void replace(FuzzInput& in)
    {
        if (columns.empty())
            return;
        const std::size_t at = (in.byte() << 8 | in.byte()) % columns.size();
        const Columns added = fuzz::unit(in, setup);
        if (columns[at].tripletPart >= 0 || added.size() != 1)
            return;
        Column column = added.front();
        column.newLineBefore = columns[at].newLineBefore;
        if (!leans(column.technique()))
            std::ranges::sort(column.notes, {}, &engine::ColumnNote::string);
        Columns expected = columns;
        expected[at] = column;
        const bool kept = column.notes == columns[at].notes;
        const bool refused = leans(column.technique()) && !kept && !played(expected, at);
        const std::size_t after = noteFrom(columns, at + 1);
        if (!refused && after < columns.size() && played(columns, after) &&
            leans(columns[after].technique()) && !played(expected, after))
            makePlain(expected[after]);
        const std::vector<std::string> before = tab.text.lines();
        const Columns present = columns;
        const engine::ColumnEdit done =
            engine::editColumn(tab.staff, tab.text, columns, at, column);
        if (refused) {
            QUORLIN_REQUIRE(done.outcome != engine::DropOutcome::Written);
            QUORLIN_REQUIRE(tab.text.lines() == before);
            QUORLIN_REQUIRE(std::ranges::equal(columns, present, &Column::sameAs));
            return;
        }
        QUORLIN_REQUIRE(done.outcome == engine::DropOutcome::Written);
        require(expected, before, keptBefore(at));
        if (done.path != engine::EditPath::InPlace)
            return;
        fuzz::requireOnlyCellsChanged(before, tab.text.lines(), present, columns, setup);
    }

    // A run a semitone or an octave away: every note sounds that much higher or lower, or
    // nothing changes.
    void transpose(FuzzInput& in)
    {
        if (columns.empty())
            return;
        const std::size_t at = (in.byte() << 8 | in.byte()) % columns.size();
        const std::size_t end =
            std::min(columns.size(), at + 1 + static_cast<std::size_t>(in.pick(8)));
        static constexpr int kIntervals[] = {1, -1, 12, -12};
        const int semitones = kIntervals[in.pick(4)];
        std::vector<int> open;
        for (int s = 1; s <= setup.strings.value(); ++s)
            open.push_back(score::openPitch(s, setup.strings, tab.staff.state().tuning.at(s)));
        const auto [first, last] = whole(columns, at, end);
        const std::vector<std::string> before = tab.text.lines();
        const int kept = keptBefore(first);
        const Columns present = columns;
        const engine::Transposition done =
            engine::transpose(tab.staff, tab.text, columns, at, end, semitones, open);
        if (done.refused) {
            QUORLIN_REQUIRE(tab.text.lines() == before);
            QUORLIN_REQUIRE(std::ranges::equal(columns, present, &Column::sameAs));
            return;
        }
        QUORLIN_REQUIRE(columns.size() == present.size());
        const auto pitches = [&](const Column& column, int by) {
            std::vector<int> out;
            for (const engine::ColumnNote& note : column.notes)
                out.push_back(open[static_cast<std::size_t>(note.string - 1)] + note.fret + by);
            std::ranges::sort(out);
            return out;
        };
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& was = present[c];
            const Column& now = columns[c];
            QUORLIN_REQUIRE(pitches(now, 0) ==
                            pitches(was, c >= first && c < last ? semitones : 0));
            QUORLIN_REQUIRE(now.symbol() == was.symbol() && now.dotted == was.dotted &&
                            now.newLineBefore == was.newLineBefore &&
                            now.tripletPart == was.tripletPart);
            // A technique stays, but where the note it played from left its string. The lead
            // is the note that sounded as the old one moved, wherever a plain chord puts it.
            const bool same = now.technique() == was.technique() ||
                              (slides(now.technique()) && slides(was.technique()));
            const int by = c >= first && c < last ? semitones : 0;
            const engine::ColumnNote& lead =
                was.notes.empty() ? engine::ColumnNote{} : was.notes.front();
            const auto moved = std::ranges::find_if(now.notes, [&](const engine::ColumnNote& n) {
                return open[static_cast<std::size_t>(n.string - 1)] + n.fret ==
                       open[static_cast<std::size_t>(lead.string - 1)] + lead.fret + by;
            });
            const bool leadPlayed =
                moved != now.notes.end() && playable(columns, c, moved->string, was.technique());
            QUORLIN_REQUIRE(same ||
                            (leans(was.technique()) && now.technique() == Technique::Plain &&
                             played(present, c) && !leadPlayed));
        }
        require(columns, before, kept);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    bool undoing = false;
    fuzz::Setup setup = fuzz::setupOf(in, undoing);
    // The tab the columns of the typed one write: what "<-" and "Repeat last" leave may be
    // what no list writes, and the edits lay out what they change as the list would.
    Columns columns;
    bool newLineAfter = false;
    {
        fuzz::Tab typed(setup);
        fuzz::type(typed, setup, undoing, in);
        try {
            columns = engine::readColumns(typed.text, typed.staff.state());
        } catch (const std::invalid_argument&) {
            return 0;
        }
        newLineAfter = engine::endsWithNewLine(typed.text, typed.staff.state());
    }
    fuzz::Tab tab(setup);
    engine::writeColumns(tab.staff, columns, newLineAfter);
    columns = engine::readColumns(tab.text, tab.staff.state());
    newLineAfter = engine::endsWithNewLine(tab.text, tab.staff.state());
    Checked checked{setup, tab, columns, newLineAfter};
    const int edits = in.pick(kMaxEdits + 1);
    for (int edit = 0; edit < edits && !in.empty(); ++edit) {
        switch (in.pick(3)) {
        case 0:
            checked.splice(in);
            break;
        case 1:
            checked.replace(in);
            break;
        default:
            checked.transpose(in);
            break;
        }
    }
    return 0;
}
