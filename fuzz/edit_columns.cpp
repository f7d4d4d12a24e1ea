// Notes, chords, triplets, rests and "New line" typed as the window types them, read back as
// columns, then one column changed where it stands, a run of them transposed, and one
// replaced, put in or taken out. The columns must write the same tab
// again from an empty one, and the edit written in place must give the tab the edited list
// writes from the start, with the lines before the edited block untouched and the position
// a load of that tab would take.

#include "engine/Columns.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TypedTabs.h"
#include "score/Score.h"
#include "tabtext/TabFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string_view>

using namespace quorlin;
using fuzz::FuzzInput;
using fuzz::requireLoadedPosition;
using fuzz::Setup;
using fuzz::Tab;
using fuzz::trace;
using fuzz::unit;

namespace {

// The columns a triplet's first column stands for.
std::size_t unitSize(const std::vector<engine::Column>& columns, std::size_t at)
{
    return columns[at].tripletPart == 0 ? 3 : 1;
}

void edit(std::vector<engine::Column>& columns, const Setup& setup, FuzzInput& in)
{
    std::size_t at = columns.empty() ? 0 : (in.byte() << 8 | in.byte()) % (columns.size() + 1);
    // Edits keep triplets whole: they land on a triplet's first column.
    if (at < columns.size() && columns[at].tripletPart > 0)
        at -= static_cast<std::size_t>(columns[at].tripletPart);
    const int kind = in.pick(3);
    if (kind != 2 && at < columns.size()) {
        const auto first = columns.begin() + static_cast<long>(at);
        columns.erase(first, first + static_cast<long>(unitSize(columns, at)));
    }
    if (kind != 0) {
        const std::vector<engine::Column> added = unit(in, setup);
        columns.insert(columns.begin() + static_cast<long>(at), added.begin(), added.end());
    }
}

// One column that is no triplet's replaced where it stands: the tab must be the one the
// edited list writes from the start, and outside the cells of the columns that changed
// (the edited one, a slide after it) not a character may differ.
void editInPlace(const Setup& setup, const std::vector<engine::Column>& present, bool newLineAfter,
                 FuzzInput& in)
{
    if (present.empty())
        return;
    const std::size_t at = (in.byte() << 8 | in.byte()) % present.size();
    const std::vector<engine::Column> added = unit(in, setup);
    if (present[at].tripletPart >= 0 || added.size() != 1)
        return;
    Tab tab(setup);
    engine::writeColumns(tab.staff, present, newLineAfter);
    const std::vector<std::string> before = tab.text.lines();
    std::vector<engine::Column> columns = present;
    const engine::ColumnEdit done = engine::editColumn(tab.staff, tab.text, columns, at, added[0]);
    trace("edited cells", tab.text);
    if (done.outcome != engine::DropOutcome::Written || done.path == engine::EditPath::Unchanged) {
        QUORLIN_REQUIRE(tab.text.lines() == before && done.turnedPlain.empty());
        QUORLIN_REQUIRE(std::ranges::equal(columns, present, &engine::Column::sameAs));
        return;
    }
    Tab scratch(setup);
    engine::writeColumns(scratch.staff, columns, newLineAfter);
    trace("cells from the start", scratch.text);
    QUORLIN_REQUIRE(tab.text.lines() == scratch.text.lines());
    const std::vector<engine::Column> read = engine::readColumns(tab.text, tab.staff.state());
    QUORLIN_REQUIRE(std::ranges::equal(columns, read, &engine::Column::sameAs));
    for (const std::size_t plain : done.turnedPlain)
        QUORLIN_REQUIRE(plain > at && columns[plain].technique() == engine::Technique::Plain);
    requireLoadedPosition(tab, setup);
    if (done.path != engine::EditPath::InPlace)
        return;
    for (std::size_t c = 0; c < present.size(); ++c)
        QUORLIN_REQUIRE(c >= at || present[c].sameAs(columns[c]));
    fuzz::requireOnlyCellsChanged(before, tab.text.lines(), present, columns, setup);
}

std::vector<int> pitchesOf(const engine::Column& column, std::span<const int> open, int by)
{
    std::vector<int> pitches;
    for (const engine::ColumnNote& note : column.notes)
        pitches.push_back(open[static_cast<std::size_t>(note.string - 1)] + note.fret + by);
    std::ranges::sort(pitches);
    return pitches;
}

// A run of whole columns moved by a semitone or an octave: every note sounds exactly that
// much higher or lower and nothing else changes, or the edit is refused and the tab stays.
void transposeRun(const Setup& setup, const std::vector<engine::Column>& present, bool newLineAfter,
                  FuzzInput& in)
{
    if (present.empty())
        return;
    std::size_t first = (in.byte() << 8 | in.byte()) % present.size();
    std::size_t last = std::min(present.size(), first + 1 + static_cast<std::size_t>(in.pick(8)));
    if (present[first].tripletPart > 0)
        first -= static_cast<std::size_t>(present[first].tripletPart);
    if (present[last - 1].tripletPart >= 0)
        last += static_cast<std::size_t>(2 - present[last - 1].tripletPart);
    static constexpr int kIntervals[] = {1, -1, 12, -12};
    const int semitones = kIntervals[in.pick(4)];

    Tab tab(setup);
    engine::writeColumns(tab.staff, present, newLineAfter);
    std::vector<int> open;
    for (int s = 1; s <= setup.strings.value(); ++s)
        open.push_back(score::openPitch(s, setup.strings, tab.staff.state().tuning.at(s)));
    const std::vector<std::string> before = tab.text.lines();
    std::vector<engine::Column> columns = present;
    const engine::Transposition done =
        engine::transpose(tab.staff, tab.text, columns, first, last, semitones, open);
    trace("transposed", tab.text);
    if (done.refused) {
        QUORLIN_REQUIRE(!done.misfits.empty() && tab.text.lines() == before);
        QUORLIN_REQUIRE(std::ranges::equal(columns, present, &engine::Column::sameAs));
        return;
    }
    QUORLIN_REQUIRE(done.misfits.empty() && columns.size() == present.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const engine::Column& was = present[c];
        const engine::Column& now = columns[c];
        const int by = c >= first && c < last ? semitones : 0;
        QUORLIN_REQUIRE(pitchesOf(now, open, 0) == pitchesOf(was, open, by));
        QUORLIN_REQUIRE(now.value == was.value && now.dotted == was.dotted &&
                        now.newLineBefore == was.newLineBefore &&
                        now.tripletPart == was.tripletPart);
        for (const engine::ColumnNote& note : now.notes)
            QUORLIN_REQUIRE(note.fret >= 0 && note.fret <= instrument::kFrets);
    }
    Tab scratch(setup);
    engine::writeColumns(scratch.staff, columns, newLineAfter);
    QUORLIN_REQUIRE(tab.text.lines() == scratch.text.lines());
    // A run of rests moves nothing, and the position is the one writing left.
    if (!std::ranges::equal(columns, present, &engine::Column::sameAs))
        requireLoadedPosition(tab, setup);
}

// The music of a tab as the score reads it, wherever its columns stand. A slide counts as a
// plain note: its mark is the writer's to choose from the note before.
std::vector<score::Column> musicOf(const Setup& setup, const engine::VectorTabText& text)
{
    const std::vector<std::string_view> lines(text.lines().begin(), text.lines().end());
    score::Score read =
        score::readScore(lines, setup.strings, instrument::Tuning(), engine::kDefaultTempo);
    QUORLIN_REQUIRE(read.skipped.empty());
    for (score::Column& column : read.columns) {
        column.block = column.line = column.offset = 0;
        for (score::Note& note : column.notes) {
            if (score::isSlide(note.technique))
                note.technique = score::Technique::Plain;
        }
    }
    return read.columns;
}

// A copied slide is written the way the engine slides from the note before it, or plain.
bool sameButSlides(engine::Column a, engine::Column b)
{
    for (engine::Column* column : {&a, &b}) {
        if (model::isSlide(column->technique())) {
            // Unmarked, a chord's notes read by string.
            column->setTechnique(engine::Technique::Plain);
            std::ranges::sort(column->notes, {}, &engine::ColumnNote::string);
        }
    }
    return a.sameAs(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    bool undoing = false;
    Setup setup = fuzz::setupOf(in, undoing);
    Tab tab(setup);
    fuzz::type(tab, setup, undoing, in);

    trace("typed", tab.text);
    std::vector<engine::Column> present;
    try {
        present = engine::readColumns(tab.text, tab.staff.state());
    } catch (const std::invalid_argument&) {
        QUORLIN_REQUIRE(tab.broken);
        return 0;
    }
    const bool newLineAfter = engine::endsWithNewLine(tab.text, tab.staff.state());
    Tab again(setup);
    engine::writeColumns(again.staff, present, newLineAfter);
    trace("written again", again.text);
    // What no list writes is kept as it is: the columns must then hold the same music.
    const bool exact = again.text.lines() == tab.text.lines();
    QUORLIN_REQUIRE(exact || tab.odd);
    // The columns stand elsewhere in the tab they write, which must read back as they are.
    // A "New line" at the end may write nothing there, after rests gone back past the width.
    std::vector<engine::Column> written = present;
    bool writtenNewLine = newLineAfter;
    if (!exact) {
        QUORLIN_REQUIRE(musicOf(setup, again.text) == musicOf(setup, tab.text));
        written = engine::readColumns(again.text, again.staff.state());
        QUORLIN_REQUIRE(std::ranges::equal(written, present, sameButSlides));
        writtenNewLine = engine::endsWithNewLine(again.text, again.staff.state());
    }
    editInPlace(setup, written, writtenNewLine, in);
    transposeRun(setup, written, writtenNewLine, in);

    std::vector<engine::Column> edited = present;
    edit(edited, setup, in);
    const std::vector<std::string> before = tab.text.lines();
    const engine::Staff::Snapshot untouched = tab.staff.snapshot();
    const int kept = engine::rewriteFrom(tab.staff, tab.text, present, edited);
    Tab scratch(setup);
    engine::writeColumns(scratch.staff, edited, newLineAfter);
    trace("edited in place", tab.text);
    trace("edited from the start", scratch.text);
    if (exact) {
        QUORLIN_REQUIRE(tab.text.lines() == scratch.text.lines());
    } else {
        QUORLIN_REQUIRE(musicOf(setup, tab.text) == musicOf(setup, scratch.text));
        engine::readColumns(tab.text, tab.staff.state());
    }
    QUORLIN_REQUIRE(kept >= 0 && kept <= static_cast<int>(before.size()));
    QUORLIN_REQUIRE(std::equal(before.begin(), before.begin() + kept, tab.text.lines().begin()));

    // An edit that changes no column leaves the tab and the position alone.
    const bool same = std::ranges::equal(present, edited, &engine::Column::sameAs);
    if (same) {
        QUORLIN_REQUIRE(tab.text.lines() == before && tab.staff.snapshot() == untouched);
        return 0;
    }
    // Where the next note goes, as a load of the same text says.
    requireLoadedPosition(tab, setup);
    return 0;
}
