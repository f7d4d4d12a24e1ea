// Notes, chords, triplets, rests and "New line" typed as the window types them, read back as
// columns, then one column changed where it stands, a run of them transposed, and one
// replaced, put in or taken out. The columns must write the same tab
// again from an empty one, and the edit written in place must give the tab the edited list
// writes from the start, with the lines before the edited block untouched and the position
// a load of that tab would take.

#include "engine/Columns.h"
#include "engine/Staff.h"
#include "engine/TabFormat.h"
#include "engine/VectorTabText.h"
#include "fuzz/FuzzInput.h"
#include "score/Score.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string_view>

using namespace quorlin;
using fuzz::FuzzInput;

namespace {

constexpr int kMaxActions = 200;

struct Setup {
    instrument::StringCount strings;
    int width = engine::kDefaultTabWidth;
};

struct Tab {
    explicit Tab(const Setup& setup)
    {
        staff.restoreSetup(setup.strings, instrument::Tuning());
        staff.setTabWidth(setup.width);
    }
    engine::VectorTabText text;
    engine::Staff staff{text};
    // "Repeat last" copied part of a triplet or of a fill, or "<-" took a triplet's chord
    // column alone: no list of columns holds that, and reading it may refuse.
    bool broken = false;
    // What no list of columns writes, though its music is one: a block "<-" emptied (also
    // the first, whose head told a rest or a note), a slide from the chord "<-" left last, a copy
    // that opened a block where the columns one by one (a rest, or the first of three) would not
    // have, and a copied slide whose mark now goes the wrong way or follows no note on its string.
    bool odd = false;
};

// Whether the last `width` characters of the current block are whole columns that cut no
// triplet, so that a copy of them (or taking them back) leaves columns.
bool wholeColumns(const Tab& tab, std::size_t width)
{
    const engine::EditingState& state = tab.staff.state();
    const std::string rhythm = tab.text.line(state.blockStart);
    const std::size_t fill =
        rhythm.size() - std::max(engine::kHeadLength, rhythm.find_last_not_of(' ') + 1);
    // Too short a block: "Repeat last" copies nothing, "<-" takes nothing back.
    if (rhythm.size() < engine::kHeadLength + width)
        return true;
    if (fill != 0)
        return fill >= width;
    // Fill before a rest: the copy would take a piece of it.
    for (std::size_t at = rhythm.size() - std::min(rhythm.size(), width); at < rhythm.size();
         at += engine::kCellWidth) {
        if (!engine::rhythmCellAt(rhythm, at))
            return false;
    }
    for (int k = 1; k <= state.stringCount.value(); ++k) {
        const std::string line = tab.text.line(state.blockStart + k);
        if (line.size() >= width + engine::kHeadLength &&
            line[line.size() - width] == engine::kTripletMark)
            return false;
    }
    return true;
}

int stringOf(FuzzInput& in, const Setup& setup)
{
    return 1 + in.pick(setup.strings.value());
}

int fretOf(FuzzInput& in)
{
    return in.pick(instrument::kFrets + 1);
}

// QUORLIN_FUZZ_TRACE=1 shows the tabs compared when replaying one input.
void trace(const char* what, const engine::VectorTabText& text)
{
    static const bool on = std::getenv("QUORLIN_FUZZ_TRACE") != nullptr;
    if (!on)
        return;
    std::fprintf(stderr, "%s:\n", what);
    for (const std::string& line : text.lines())
        std::fprintf(stderr, "  [%s]\n", line.c_str());
}

// After "<-": a block with no column, or a chord last, whose last note the engine now takes
// from the text, where writing the columns leaves the last chord note dropped.
bool leftOddly(const Tab& tab)
{
    const engine::EditingState& state = tab.staff.state();
    if (tab.text.line(state.blockStart).size() <= engine::kHeadLength)
        return true;
    int notes = 0;
    for (int k = 1; k <= state.stringCount.value(); ++k) {
        const std::string line = tab.text.line(state.blockStart + k);
        notes += line.size() >= engine::kHeadLength + engine::kCellWidth &&
                 line.compare(line.size() - engine::kCellWidth, engine::kCellWidth,
                              engine::kEmptyCell) != 0;
    }
    return notes > 1;
}

// Only what the engine takes whole: a refused slide would open an empty block, and a chord
// note over a triplet's own would leave the triplet without its mark. With `undoing`, also
// "<-", "Repeat last" of a column or of three, and a new width while the window offers one.
void act(Tab& tab, Setup& setup, bool undoing, FuzzInput& in)
{
    engine::Staff& staff = tab.staff;
    const char symbol = in.pickFrom(engine::kDurationSymbols);
    const bool dotted = in.flag();
    switch (in.pick(undoing ? 10 : 6)) {
    case 0:
    case 1: {
        auto technique = static_cast<engine::Technique>(in.pick(6));
        int string = stringOf(in, setup);
        if (technique == engine::Technique::Slide) {
            if (staff.state().lastString == 0)
                technique = engine::Technique::Default;
            else
                string = staff.state().lastString;
        }
        staff.Dropped({fretOf(in), string, symbol, technique, dotted});
        break;
    }
    case 2: {
        const int string = stringOf(in, setup);
        const int fret = fretOf(in);
        if (tab.text.count() == 0)
            break;
        const std::string line = tab.text.line(staff.state().blockStart + string);
        if (line.size() >= engine::kCellWidth &&
            line[line.size() - engine::kCellWidth] == engine::kTripletMark)
            break;
        staff.Dropped({fret, string, symbol, engine::Technique::Chord, dotted});
        break;
    }
    case 3:
        staff.Dropped(
            {fretOf(in), stringOf(in, setup), symbol, engine::Technique::Triplet, dotted});
        break;
    case 4:
        staff.setRest(symbol, dotted);
        break;
    case 5:
        staff.JumpLine();
        break;
    case 6:
        // Taking back a triplet whose chord note is not on its own string leaves two parts.
        if (tab.text.count() != 0 && !wholeColumns(tab, engine::kCellWidth)) {
            const std::string line = tab.text.line(staff.LastNoteLine());
            tab.broken =
                tab.broken || line[line.size() - engine::kCellWidth] != engine::kTripletMark;
        }
        staff.GoBack();
        tab.odd = tab.odd || (tab.text.count() != 0 && leftOddly(tab));
        break;
    case 7:
    case 8: {
        if (tab.text.count() != 0) {
            const std::size_t width = engine::kCellWidth * (dotted ? 3 : 1);
            tab.broken = tab.broken || !wholeColumns(tab, width);
            for (int k = 1; k <= setup.strings.value(); ++k) {
                const std::string line = tab.text.line(staff.state().blockStart + k);
                for (std::size_t at = line.size() - std::min(line.size(), width); at < line.size();
                     at += engine::kCellWidth)
                    tab.odd = tab.odd || line[at] == engine::kSlideUpMark ||
                              line[at] == engine::kSlideDownMark;
            }
        }
        const int block = staff.state().blockStart;
        staff.RepeatLast(dotted);
        tab.odd = tab.odd || staff.state().blockStart != block;
        break;
    }
    default:
        if (staff.state().setupUnlocked) {
            setup.width = in.flag() ? engine::kDefaultTabWidth : in.pick(40) - 2;
            staff.setTabWidth(setup.width);
        }
        break;
    }
}

// A column or a whole triplet, as a user could type it anywhere.
std::vector<engine::Column> unit(FuzzInput& in, const Setup& setup)
{
    engine::Column column;
    column.symbol = in.pickFrom(engine::kDurationSymbols);
    column.dotted = in.flag();
    column.newLineBefore = in.pick(4) == 0;
    const int kind = in.pick(4);
    if (kind == 0)
        return {column};
    const int string = stringOf(in, setup);
    column.notes = {{string, fretOf(in)}};
    if (kind == 1) {
        column.technique = engine::ColumnTechnique::Triplet;
        std::vector<engine::Column> triplet(3, column);
        for (int part = 0; part < 3; ++part) {
            triplet[static_cast<std::size_t>(part)].tripletPart = part;
            if (part > 0)
                triplet[static_cast<std::size_t>(part)].newLineBefore = false;
        }
        return triplet;
    }
    column.technique = static_cast<engine::ColumnTechnique>(in.pick(7));
    if (kind == 3) {
        // Chord notes on other strings, by string.
        for (int k = 1; k <= setup.strings.value(); ++k) {
            if (k != string && in.flag())
                column.notes.push_back({k, fretOf(in)});
        }
    }
    return {column};
}

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

void requireLoadedPosition(const Tab& tab, const Setup& setup)
{
    engine::VectorTabText loadedText;
    engine::Staff loaded(loadedText);
    loaded.adoptLoaded(tab.text.lines(), {setup.width, engine::kDefaultTempo, setup.strings, {}});
    const engine::EditingState& got = tab.staff.state();
    const engine::EditingState& want = loaded.state();
    if (std::getenv("QUORLIN_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "block %d/%d, string %d/%d, fret %d/%d, chord %d/%d\n", got.blockStart,
                     want.blockStart, got.lastString, want.lastString, got.lastFret, want.lastFret,
                     got.chordAvailable, want.chordAvailable);
    QUORLIN_REQUIRE(got.blockStart == want.blockStart && got.lastString == want.lastString &&
                    got.lastFret == want.lastFret && got.chordAvailable == want.chordAvailable);
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
        QUORLIN_REQUIRE(plain > at && columns[plain].technique == engine::ColumnTechnique::Plain);
    requireLoadedPosition(tab, setup);
    if (done.path != engine::EditPath::InPlace)
        return;
    // The tab is ASCII with the standard tuning: a character is a byte.
    std::vector<std::string> masked[2] = {before, tab.text.lines()};
    for (std::size_t c = 0; c < present.size(); ++c) {
        if (present[c].sameAs(columns[c]))
            continue;
        QUORLIN_REQUIRE(c >= at);
        for (std::vector<std::string>& lines : masked) {
            for (int k = 0; k < engine::blockLineCount(setup.strings.value()); ++k) {
                std::string& line = lines[static_cast<std::size_t>(present[c].firstLine + k)];
                line.replace(static_cast<std::size_t>(present[c].character), engine::kCellWidth,
                             "###");
            }
        }
    }
    QUORLIN_REQUIRE(masked[0] == masked[1]);
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
        QUORLIN_REQUIRE(now.symbol == was.symbol && now.dotted == was.dotted &&
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
        if (column->technique == engine::ColumnTechnique::SlideUp ||
            column->technique == engine::ColumnTechnique::SlideDown) {
            // Unmarked, a chord's notes read by string.
            column->technique = engine::ColumnTechnique::Plain;
            std::ranges::sort(column->notes, {}, &engine::ColumnNote::string);
        }
    }
    return a.sameAs(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    Setup setup;
    setup.strings = instrument::StringCount(instrument::kMinStrings + in.pick(3));
    // A new block every few notes, or the usual width; bit 1 takes back and repeats.
    const std::uint8_t mode = in.byte();
    setup.width = (mode & 1) != 0 ? engine::kDefaultTabWidth : in.pick(40) - 2;
    const bool undoing = (mode & 2) != 0;

    Tab tab(setup);
    const int actions = in.pick(kMaxActions);
    for (int action = 0; action < actions && !in.empty(); ++action)
        act(tab, setup, undoing, in);

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
